#include "console/console_signals.h"

#include <signal.h>

#include "core/replacing_file.h"

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Runs with every ending signal blocked (sa_mask) and the disposition of sig
// already back to the default (SA_RESETHAND): the raised signal is delivered
// as the handler returns and ends the process. Only async-signal-safe calls.
extern "C" void endOnSignal(int sig)
{
    removeListedTempFiles();
    raise(sig);
}

} // namespace

void installConsoleSignalHandling()
{
    struct sigaction action {};
    action.sa_handler = endOnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : kEndingSignals)
        sigaddset(&action.sa_mask, sig);
    action.sa_flags = SA_RESETHAND;
    for (int sig : kEndingSignals) {
        struct sigaction previous {};
        if (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;   // nohup, or a background job of a shell without job control
        sigaction(sig, &action, nullptr);
    }
    signal(SIGXFSZ, SIG_IGN);
}
