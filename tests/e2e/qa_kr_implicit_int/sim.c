twice(x)
int x;
{
    return 2 * x;
}
