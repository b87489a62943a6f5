// The cache service's request loop over the request FIFO.
#pragma once

#include "cache_system.h"

#include <csignal>

// Creates the request FIFO (mode 0700; an existing FIFO is used). False on any other failure.
bool createRequestPipe();
void removeRequestPipe();

// Opens a reply FIFO named in a request: only the protocol's own names below the sandbox's
// /var/qvserver, without following a link, non-blocking (so a full or abandoned FIFO never stalls
// the service), and only when it is a FIFO. The descriptor or -1.
int openReplyPipe(const char* name, size_t field);

// Serves requests one after another until `stop` is set.
void serveRequests(const CacheSystem& cache, const volatile sig_atomic_t& stop);
