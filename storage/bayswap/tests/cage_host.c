/* A C host of the hot-swap library: loads libqvbayswap.so by name, lists the cages, shows a
   failure on bay 0 of the first SAF-TE cage, and asks the simulator's control channel for the
   enclosure's slot states.
   Usage: cage_host CONTROL_SOCKET ENCLOSURE_SG */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

typedef uint32_t (*DiscoverFn)(unsigned*);
typedef uint32_t (*GetDescFn)(unsigned, void*);
typedef uint32_t (*AdjustLedFn)(unsigned, unsigned, unsigned);

enum { kDescBytes = 72, kSAFteAny = 0x10, kFailure = 2 };

static void* symbol(void* lib, const char* name)
{
    void* found = dlsym(lib, name);
    if (found == NULL) {
        fprintf(stderr, "missing %s\n", name);
        exit(2);
    }
    return found;
}

static int askControl(const char* path, const char* request)
{
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (strlen(path) >= sizeof address.sun_path) return -1;
    strcpy(address.sun_path, path);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, (struct sockaddr*)&address, sizeof address) != 0) return -1;
    if (write(fd, request, strlen(request)) != (ssize_t)strlen(request)) return -1;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') putchar(c);
    putchar('\n');
    close(fd);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    void* lib = dlopen("libqvbayswap.so", RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    DiscoverFn discover = (DiscoverFn)symbol(lib, "DiscoverHSCages");
    GetDescFn getDesc = (GetDescFn)symbol(lib, "HSCageGetDesc");
    AdjustLedFn adjustLed = (AdjustLedFn)symbol(lib, "HSCageAdjustLED");

    unsigned cages = 0;
    uint32_t status = discover(&cages);
    printf("discover %u cages %u\n", status, cages);
    int failed = -1;
    for (unsigned i = 0; i < cages; ++i) {
        unsigned char desc[kDescBytes];
        status = getDesc(i, desc);
        /* Little-endian fields: cageAddr, nBays, then adapter, channel, type. */
        printf("cage %u status %u addr 0x%02x%02x bays %u adapter %u channel %u type %u\n", i, status, desc[1],
               desc[0], desc[2] | desc[3] << 8, desc[4], desc[5], desc[6]);
        if (failed < 0 && (desc[6] & kSAFteAny) != 0) failed = (int)i;
    }
    if (failed >= 0) printf("failure on cage %d bay 0: %u\n", failed, adjustLed((unsigned)failed, 0, kFailure));

    char request[128];
    snprintf(request, sizeof request, "{\"op\":\"scsiSafteSlots\",\"sg\":%s}\n", argv[2]);
    if (askControl(argv[1], request) != 0) return 1;
    dlclose(lib);
    return 0;
}
