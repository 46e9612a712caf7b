#pragma once
// Property checks over arbitrary bytes, shared by the libFuzzer targets and the
// regression suite that replays every committed corpus input and reproducer.
//
// Each check feeds the bytes to one entry point of the program and returns an
// empty string when every property held, else a description of the first one
// that broke. Memory errors and undefined behaviour are left to the sanitizers
// of the build; the checks add what the sanitizers cannot see (wrong results,
// files left behind, lost pixels).
//
// The image checks write the bytes into a scratch folder of the process (see
// scratch_folder.h), because the readers take paths. Not thread-safe: one
// check at a time per process.

#include <cstddef>
#include <cstdint>
#include <string>

// The PNG, GIF and BMP readers through their loaders: a refused file leaves the
// image empty and the transparent colour untouched; an accepted one is a
// well-formed picture (size, alpha bytes, transparent colour in range). The
// PNG check also loads with extended input: the same promises, the default
// reader's picture unchanged where it accepts the file, and only complete
// colour chunks with correct CRCs, each type once; and with the 16-bit
// samples taken, the same file where nothing is kept, else a picture of the
// kept samples' high bytes. Each check also loads the
// bytes through loadImageMemory, which must give what loadImageFile gives.
std::string checkPngLoad(const uint8_t* data, size_t size);
std::string checkGifLoad(const uint8_t* data, size_t size);
std::string checkBmpLoad(const uint8_t* data, size_t size);

// The animated PNG and GIF readers: a refused file leaves no animation; an
// accepted one has frames of width * height pixels inside the canvas, at most
// kMaxAnimationPixels in all, and agrees with the animation probe and with
// the still readers' picture of the default image (PNG) or the opaque pixels
// of the first image (GIF).
std::string checkAnimationRead(const uint8_t* data, size_t size);

// A small image made from the bytes (layout in image_checks.cpp) converted through
// the optimizer to a file: the conversion succeeds, reports consistent results
// and events, writes exactly the predicted number of bytes, leaves no
// temporary file, gives the same events, results and file as the plain search
// (every trial a full compression), and libpng decodes the output to exactly
// the input pixels.
std::string checkConversion(const uint8_t* data, size_t size);

// The settings file parser: the same lines from memory and from a file, every
// line and value inside the text, values found only where the rules say, and
// numbers read as an independent reading of the rules reads them.
std::string checkSettingsParser(const uint8_t* data, size_t size);

// The console's command-line scanner (bytes up to the first NUL are the
// line): values only for switches that are present, the options reader never
// accepts an empty input and sets exactly the run flags of the switches
// present (and -xi only in its range), and for plain ASCII lines the same
// answers as an independent reading of the scanning rules.
std::string checkCommandLineScanner(const uint8_t* data, size_t size);

using FuzzCheck = std::string (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;   // fuzz_<name> is the libFuzzer binary, corpus/<name> its inputs
    FuzzCheck check;
};

extern const FuzzTarget kFuzzTargets[];
extern const int kFuzzTargetCount;

// The target of that name, or null.
const FuzzTarget* findFuzzTarget(const char* name);
