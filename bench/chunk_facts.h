#pragma once
// What libpng reads of a PNG's ancillary chunks, for comparing a file with
// the one made from it (bench/run's kept-chunk check and the tests): one
// text per chunk kind, equal when libpng reads the same. The three text
// chunks together under "text" (key=value; in order); bKGD as red, green
// and blue on the 16-bit scale whatever the encoding; hIST as the frequency
// of each colour; sBIT as "present"; unknown chunks by name with their data.
// The animation chunks are left out.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using ChunkFacts = std::map<std::string, std::string>;

// False when libpng refuses the file.
bool readChunkFacts(const std::vector<uint8_t>& file, ChunkFacts& facts);

// The facts' key of a chunk name ("text" for tEXt, zTXt and iTXt).
std::string chunkFactKey(const std::string& name);
