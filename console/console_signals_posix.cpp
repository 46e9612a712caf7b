#include "console/console_signals.h"

#include <pthread.h>
#include <signal.h>

#include "core/replacing_file.h"

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The thread that installed the handlers: the one that writes the output.
pthread_t g_mainThread;

// Runs with every ending signal blocked (sa_mask). The main thread holds
// signals off while it changes the interrupt list (InterruptGuard), so the
// system may deliver one to another thread (an engine worker) meanwhile; that
// thread passes it on to the main thread, which handles it once the change is
// complete. There the temporary files go, the default action comes back and
// the raised signal, delivered as the handler returns, ends the process. Only
// async-signal-safe calls.
extern "C" void endOnSignal(int sig)
{
    if (!pthread_equal(pthread_self(), g_mainThread)) {
        pthread_kill(g_mainThread, sig);
        return;
    }
    removeListedTempFiles();
    signal(sig, SIG_DFL);
    raise(sig);
}

} // namespace

void installConsoleSignalHandling()
{
    g_mainThread = pthread_self();
    struct sigaction action {};
    action.sa_handler = endOnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : kEndingSignals)
        sigaddset(&action.sa_mask, sig);
    for (int sig : kEndingSignals) {
        struct sigaction previous {};
        if (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;   // nohup, or a background job of a shell without job control
        sigaction(sig, &action, nullptr);
    }
    signal(SIGXFSZ, SIG_IGN);
    // A closed pipe behind "-o -" is a write error the run reports, not a
    // reason to end the process unannounced.
    signal(SIGPIPE, SIG_IGN);
}
