// qvsim --root DIR --scenario FILE [--foreground] [--pid-file FILE]
// The simulated server below DIR: the controller device node, the ipmitool dummy socket, the
// BIOS memory image, the scenario's fixture tree and a control channel for tests.
#include "control_channel.h"
#include "server_setup.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {
int g_stopWrite = -1;
void onStop(int) {
    char byte = 1;
    (void)!::write(g_stopWrite, &byte, 1);
}

int usage() {
    std::fputs("usage: qvsim --root DIR --scenario FILE [--foreground] [--pid-file FILE]\n", stderr);
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    qv::sim::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--foreground")
            options.foreground = true;
        else if ((arg == "--root" || arg == "--scenario" || arg == "--pid-file") && i + 1 < argc)
            (arg == "--root" ? options.root : arg == "--scenario" ? options.scenario : options.pidFile) = argv[++i];
        else
            return usage();
    }
    if (options.root.empty() || options.scenario.empty())
        return usage();

    int stopPipe[2];
    if (::pipe2(stopPipe, O_CLOEXEC) != 0)
        return 1;
    g_stopWrite = stopPipe[1];
    struct sigaction action {};
    action.sa_handler = onStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    try {
        qv::sim::SimulatedServer server(options);
        if (!options.foreground && !qv::sim::detach())   // before any thread exists
            return 1;
        server.start();
        qv::sim::serveControlChannel({server.simulator(), server.scsi()}, server.controlSocketPath(), stopPipe[0],
                                     [&] { server.announceReady(); });
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvsim: %s\n", e.what());
        return 1;
    }
    return 0;
}
