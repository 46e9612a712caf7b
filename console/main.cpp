// tolvarinxc: converts images (one file, a list of files or a folder) into
// the smallest PNGs the optimizer finds, and prints what it did.

#include <cstdio>

#include "console/command_line.h"
#include "console/console_program.h"
#include "console/console_run.h"
#include "console/console_signals.h"
#include "core/ui_text.h"
#include "engine/png_optimizer.h"
#include "services/worker_threads.h"

int main(int argc, char** argv)
{
    installConsoleSignalHandling();
    chooseTextLanguage(userTextLanguage());
    setWorkerThreadCount(workerThreadsFromEnvironment());
    TextString commandLine;
    rawCommandLine(commandLine, argc, argv);
    return runConsole(argc, commandLine.c_str(), stdout, stderr);
}
