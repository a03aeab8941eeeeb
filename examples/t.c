/* A small tested file: one global variable and one function. */
int g;

int add(int a, int b)
{
    return a + b;
}
