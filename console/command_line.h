#pragma once
// The raw command line of the running program, as the scanner reads it.

#include "core/text_string.h"

// Joins the arguments the way Windows quotes a command line: single spaces
// between them, an argument that is empty or holds a space wrapped in double
// quotes. Other characters are kept as they are (the scanner knows no escapes).
void joinCommandLine(TextString& line, int argc, const char* const* argv);

// The program's own command line, its name first and quotes kept, as UTF-8
// (POSIX: the bytes as given). Windows hands it over whole; elsewhere it is
// joined from argv as above.
void rawCommandLine(TextString& line, int argc, const char* const* argv);
