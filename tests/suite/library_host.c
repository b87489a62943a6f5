/* A plain C host, as a program outside the suite would be: no C++ runtime, no sanitizer runtime.
   It loads every shared library named on its command line with all symbols resolved at once,
   keeps them loaded together, then unloads them. Exit 0 when every step worked. */
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    void* handles[64];
    int loaded = 0;
    int failed = 0;
    for (int i = 1; i < argc && loaded < 64; ++i) {
        void* handle = dlopen(argv[i], RTLD_NOW | RTLD_LOCAL);
        if (handle == NULL) {
            fprintf(stderr, "%s\n", dlerror());
            failed = 1;
            continue;
        }
        handles[loaded++] = handle;
    }
    while (loaded > 0) {
        if (dlclose(handles[--loaded]) != 0) {
            fprintf(stderr, "%s\n", dlerror());
            failed = 1;
        }
    }
    return failed;
}
