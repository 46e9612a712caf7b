#pragma once
// Whether a stream of the console program goes to an interactive terminal,
// where a progress line may be redrawn in place.

#include <cstdio>

// True when stream is connected to a terminal (a console window on Windows);
// false for files, pipes and a null stream.
bool isTerminal(FILE* stream);
