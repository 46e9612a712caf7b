#pragma once
// The console's standard streams as byte streams, for "-i -" and "-o -".

#include <cstdio>

// Puts standard input and output into binary mode, so that image bytes pass
// unchanged (Windows translates line ends in text mode; POSIX has nothing to
// do). Call before the first byte is read or written.
void useBinaryStandardStreams();

// Opens the file at path (UTF-8) for binary reading; null when it cannot.
FILE* openInputFile(const char* path);
