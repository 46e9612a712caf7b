#pragma once
// How tolvarinxc ends when it is interrupted.
//
// POSIX: SIGINT, SIGTERM and SIGHUP remove the temporary file of the output
// being written (the interrupt list of core/replacing_file.h) and then end the
// process by the same signal with its default action, so the parent sees the
// usual status (128 + the signal's number in a shell). They are handled on the
// thread that installed the handlers, which must be the one writing files. A signal that was
// ignored when the program started stays ignored. SIGXFSZ is ignored: a write
// beyond the file-size limit fails (EFBIG) and is handled as any failed write.
// SIGPIPE is ignored likewise: writing "-o -" into a closed pipe fails (EPIPE)
// and the run ends with its output error.
// Windows: every console control event (Ctrl+C, Ctrl+Break, closing the
// console, logoff, shutdown) removes the temporary file and ends the process
// with STATUS_CONTROL_C_EXIT, as the default handler would.
// The target is never touched, so it is either as it was or complete.

// Installs the handlers; call once, before any output file is begun.
void installConsoleSignalHandling();
