int kr_total;

long kr_scale(x, factor)
long x;
double factor;
{
    return (long)(x * factor);
}

kr_default(n)
int n;
{
    return n * 2;
}
