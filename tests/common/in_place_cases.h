#pragma once
// The files of the in-place tests, one table for every front end: each case
// makes one file (with the identity it must keep) in a folder; the front end
// converts it onto itself; the case then checks what became of it. POSIX only.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/test_support.h"

// What converting a case's file in place must do to its bytes.
enum class InPlaceExpect {
    Smaller,     // replaced by a smaller PNG of the same pixels (every frame rendered the same)
    Unchanged,   // left byte for byte as it was
};

// A prepared file: the path a front end is given and the file behind it.
struct InPlaceFile {
    std::string path;       // may be a symbolic link
    std::string realPath;   // the file the path reaches
    std::vector<uint8_t> before;
    RgbaImage picture;      // its pixels, as libpng decodes it
};

struct InPlaceCase {
    const char* name;
    InPlaceExpect expect;
    const char* reportWord;   // a word the report must hold, or null
    // Makes the file in folder; false (with a message) when this machine
    // cannot make it (ownership without root, extended attributes not kept).
    bool (*prepare)(const std::string& folder, InPlaceFile& file, std::string& skipped);
};

extern const std::vector<InPlaceCase> kInPlaceCases;

// The identity a replaced file must keep: mode, owner, group, extended
// attributes of the file behind the path, and whether the path is a link.
struct IdentitySnapshot {
    uint32_t mode = 0;
    uint32_t uid = 0;
    uint32_t gid = 0;
    bool pathIsLink = false;
    std::vector<std::pair<std::string, std::string>> attributes;

    bool operator==(const IdentitySnapshot& other) const;
};
IdentitySnapshot identityOf(const InPlaceFile& file);

// Checks file after a front end converted it in place (gtest expectations,
// labelled with where).
void expectConvertedInPlace(const InPlaceCase& c, const InPlaceFile& file, const IdentitySnapshot& before,
                            const std::string& where);
