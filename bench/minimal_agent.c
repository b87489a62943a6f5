/* The floor an agent's cost is measured against: a C program printing the same three lines. */
#include <stdio.h>

int main(void)
{
    puts(".1.3.6.1.4.1.93071.2.99.2.0");
    puts("integer");
    puts("42");
    return 0;
}
