// zrv-emu: the ZRV device on a pseudo-terminal. Prints the slave path as its first line, then
// serves the program at the other end until SIGINT or SIGTERM.
#include "device.h"
#include "emulatorloop.h"
#include "options.h"
#include "ptylink.h"

#include <csignal>
#include <cstdio>
#include <string>

namespace {
volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) {
    stopRequested = 1;
}

// The stop signals stay blocked except while the loop waits, so none slips in between the
// check of the flag and the wait.
sigset_t installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sigset_t stops, previous;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, &previous);
    sigdelset(&previous, SIGINT);
    sigdelset(&previous, SIGTERM);
    sigdelset(&previous, SIGHUP);
    return previous;
}
} // namespace

int main(int argc, char** argv) {
    emu::Options options;
    std::string error;
    if (!emu::Options::parse(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "zrv-emu: %s\n%s", error.c_str(), emu::Options::usage());
        return 2;
    }
    if (options.help) {
        std::printf("%s", emu::Options::usage());
        return 0;
    }
    const sigset_t waitMask = installSignals();

    emu::PtyLink link;
    if (!link.open(error)) {
        std::fprintf(stderr, "zrv-emu: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !link.makeLink(options.link, error)) {
        std::fprintf(stderr, "zrv-emu: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", link.slavePath().c_str());
    std::fflush(stdout);

    emu::DeviceConfig config;
    config.tickNs = options.tickNs;
    config.noise = options.noise;
    config.seed = options.seed;
    config.rawE = options.rawE;
    config.input1 = options.input1;
    config.input2 = options.input2;
    config.logicBuses = options.logicBuses;
    config.circuit = options.circuit;
    emu::Device device(config);
    emu::EmulatorLoop loop(link, device, options);
    loop.run(stopRequested, waitMask);
    link.removeLink();
    if (options.stats) {
        const emu::LineStats& s = loop.stats();
        std::printf("stats: frames %lld faults %lld vanishes %lld bytes %lld\n",
                    static_cast<long long>(s.frames), static_cast<long long>(s.faults),
                    static_cast<long long>(s.vanishes), static_cast<long long>(s.bytes));
        std::fflush(stdout);
    }
    return 0;
}
