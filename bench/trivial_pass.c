/* The floor a walk through snmpd is measured against: a pass program serving ten integer
 * scalars below .1.3.6.1.4.1.93071.2.98 with nothing but libc. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define BASE ".1.3.6.1.4.1.93071.2.98"
#define COUNT 10

static void answer(int k)
{
    printf("%s.%d.0\ninteger\n%d\n", BASE, k, k);
}

int main(int argc, char** argv)
{
    if (argc < 3) return 0;
    const char* oid = argv[2];
    const size_t n = strlen(BASE);
    int k = 0, more = 0, exact = 0;
    if (strncmp(oid, BASE, n) == 0 && oid[n] == '.') {
        char* end = NULL;
        k = (int)strtol(oid + n + 1, &end, 10);
        more = *end == '.';
        exact = strcmp(end, ".0") == 0;
    } else if (strcmp(oid, BASE) != 0) {
        return 0;
    }
    if (strcmp(argv[1], "-g") == 0) {
        if (k >= 1 && k <= COUNT && exact) answer(k);
    } else if (strcmp(argv[1], "-n") == 0) {
        int next = more ? k + 1 : (k < 1 ? 1 : k);
        if (next <= COUNT) answer(next);
    }
    return 0;
}
