/* Preloaded into a service by service_startup to learn which pauses its start-up took. Every
 * pause appends one line "KIND MONOTONIC_NS REQUESTED_US" to the file named by
 * QV_BENCH_PAUSE_LEDGER:
 *   P  a select() on no descriptors: the controller library's millisecond pause, the only way it
 *      waits (its retry pauses and the pause after each exchange);
 *   O  any other sleep call (sleep, usleep, nanosleep, clock_nanosleep): pauses that are not the
 *      controller library's, shown apart so they never hide in the budget.
 * The real call follows; a line costs one write. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

static int ledgerFd(void)
{
    static int fd = -2;
    if (fd == -2) {
        const char* path = getenv("QV_BENCH_PAUSE_LEDGER");
        fd = path ? open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600) : -1;
    }
    return fd;
}

static void note(char kind, long long requestedUs)
{
    const int saved = errno;
    const int fd = ledgerFd();
    if (fd >= 0) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        char line[64];
        const int n = snprintf(line, sizeof line, "%c %lld %lld\n", kind,
                               (long long)now.tv_sec * 1000000000LL + now.tv_nsec, requestedUs);
        if (n > 0) (void)!write(fd, line, (size_t)n);
    }
    errno = saved;
}

static void* real(const char* name)
{
    return dlsym(RTLD_NEXT, name);
}

int select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout)
{
    static int (*next)(int, fd_set*, fd_set*, fd_set*, struct timeval*);
    if (!next) next = real("select");
    if (nfds == 0 && !readfds && !writefds && !exceptfds && timeout)
        note('P', (long long)timeout->tv_sec * 1000000LL + timeout->tv_usec);
    return next(nfds, readfds, writefds, exceptfds, timeout);
}

unsigned int sleep(unsigned int seconds)
{
    static unsigned int (*next)(unsigned int);
    if (!next) next = real("sleep");
    note('O', (long long)seconds * 1000000LL);
    return next(seconds);
}

int usleep(useconds_t us)
{
    static int (*next)(useconds_t);
    if (!next) next = real("usleep");
    note('O', (long long)us);
    return next(us);
}

int nanosleep(const struct timespec* request, struct timespec* remaining)
{
    static int (*next)(const struct timespec*, struct timespec*);
    if (!next) next = real("nanosleep");
    if (request) note('O', (long long)request->tv_sec * 1000000LL + request->tv_nsec / 1000);
    return next(request, remaining);
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request, struct timespec* remaining)
{
    static int (*next)(clockid_t, int, const struct timespec*, struct timespec*);
    if (!next) next = real("clock_nanosleep");
    if (request) {
        long long us = (long long)request->tv_sec * 1000000LL + request->tv_nsec / 1000;
        if (flags & TIMER_ABSTIME) {   /* a deadline: the pause is what is left of it */
            struct timespec now;
            clock_gettime(clock, &now);
            us -= (long long)now.tv_sec * 1000000LL + now.tv_nsec / 1000;
            if (us < 0) us = 0;
        }
        note('O', us);
    }
    return next(clock, flags, request, remaining);
}
