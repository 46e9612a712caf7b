#pragma once
// The console's standard streams as byte streams, for "-i -" and "-o -".

// Puts standard input and output into binary mode, so that image bytes pass
// unchanged (Windows translates line ends in text mode; POSIX has nothing to
// do). Call before the first byte is read or written.
void useBinaryStandardStreams();
