#pragma once
// The console program as a whole: the command line read once and handed to
// the mode it asks for (one file, a folder, a list of files).

#include <cstdio>

// The whole program: usage text when argc < 2; the help text for "-h" or
// "--help" and the version for "--version" (exit status 0); the folder mode
// when "-d" is given; the file list (file_list_mode.h) for file words without
// "-i"; otherwise the options and the one-image conversion.
// Returns the exit status.
// Warnings (unknown switches, and the switches and words the run ignores) go
// to err.
int runConsole(int argc, const char* commandLine, FILE* out, FILE* err);
// runConsole with warnings to stderr.
int runConsole(int argc, const char* commandLine, FILE* out);
