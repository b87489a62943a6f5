/* The floor a walk through snmpd is measured against: a pass program with nothing but libc.
 * Registered for the subtree .1.3.6.1.4.1.93071.2.98.N, it serves N integer scalars
 * .98.N.1.0 to .98.N.N.0, so that each agent's walk is compared with a walk of as many
 * varbinds and the client's and snmpd's fixed costs weigh the same on both sides. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define BASE ".1.3.6.1.4.1.93071.2.98."
#define MAX_COUNT 1000000L

static void answer(const char* prefix, long k)
{
    printf("%s.%ld.0\ninteger\n%ld\n", prefix, k, k);
}

int main(int argc, char** argv)
{
    if (argc < 3) return 0;
    const char* oid = argv[2];
    const size_t base = strlen(BASE);
    if (strncmp(oid, BASE, base) != 0) return 0;
    char* end = NULL;
    const long count = strtol(oid + base, &end, 10);
    if (count < 1 || count > MAX_COUNT || (*end != '\0' && *end != '.')) return 0;
    char prefix[64];
    snprintf(prefix, sizeof prefix, "%.*s", (int)(end - oid), oid);

    long k = 0;
    int more = 0, exact = 0;
    if (*end == '.') {
        k = strtol(end + 1, &end, 10);
        more = *end == '.';
        exact = strcmp(end, ".0") == 0;
    }
    if (strcmp(argv[1], "-g") == 0) {
        if (k >= 1 && k <= count && exact) answer(prefix, k);
    } else if (strcmp(argv[1], "-n") == 0) {
        const long next = more ? k + 1 : (k < 1 ? 1 : k);
        if (next <= count) answer(prefix, next);
    }
    return 0;
}
