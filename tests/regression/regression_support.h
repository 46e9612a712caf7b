#pragma once
// Shared parts of the regression suite: where the committed fuzz inputs lie,
// and the export of the images the suite generates as fuzzing seeds.

#include <cstdint>
#include <string>
#include <vector>

// fuzz/<folder>/<target> of the source tree (folder "corpus" or "regressions").
std::string fuzzInputFolder(const std::string& folder, const std::string& target);

// When the environment names a seed folder (TOLVARINX_FUZZ_SEED_DIR), writes
// bytes there as <target>/<name>; scripts/fuzz.sh collects them this way.
void exportSeed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes);

// A conversion-check input: the flags byte (image file follows, options)
// and then the file.
std::vector<uint8_t> conversionInput(const std::vector<uint8_t>& file, uint16_t options);
