// length_claims_sweep: checks every equal-length claim of the search's
// shortcuts against zlib and prints the counts (see length_claims.h).
//
//   length_claims_sweep [-spread N] [-pictures N] [FILE...]
//
// FILE may be an image (its trial data is swept) or any other file (swept as
// it is). Exit status 0 when no claim failed, 1 when one did, 2 on bad use.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "bench/length_claims.h"
#include "core/dib_image.h"
#include "core/image_loader.h"
#include "engine/deflate_stream.h"
#include "engine/png_optimizer.h"

namespace {

void addFile(const char* path, std::vector<ClaimSource>& sources)
{
    DibImage image;
    ConvertRequest request;
    if (loadImageFile(image, path, request.transparentColour)) {
        request.pixels = image.bits;
        request.width = image.width;
        request.height = image.height;
        request.hasAlpha = image.hasAlpha;
        addTrialData(request, path, sources);
        return;
    }
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!bytes.empty())
        sources.push_back({path, std::move(bytes)});
    else
        std::fprintf(stderr, "%s: nothing to read\n", path);
}

}   // namespace

int main(int argc, char** argv)
{
    int spread = 12;
    int pictures = 48;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (std::strcmp(argv[arg], "-spread") == 0)
            spread = std::atoi(argv[arg + 1]);
        else if (std::strcmp(argv[arg], "-pictures") == 0)
            pictures = std::atoi(argv[arg + 1]);
        else
            return std::fputs("usage: length_claims_sweep [-spread N] [-pictures N] [FILE...]\n", stderr), 2;
    }
    std::vector<ClaimSource> sources;
    for (; arg < argc; ++arg)
        addFile(argv[arg], sources);
    addRunHeavyPictures(pictures, 320, 1, sources);
    addRandomBytes(pictures / 4, 90000, 1, sources);
    const ClaimSweepCounts counts =
        sweepLengthClaims(sources, sameLengthParams, spread, std::thread::hardware_concurrency());
    std::printf("sources=%llu prefixes=%llu compressions=%llu claims=%llu window_claims=%llu "
                "memlevel_claims=%llu counterexamples=%llu\n",
                (unsigned long long)counts.sources, (unsigned long long)counts.prefixes,
                (unsigned long long)counts.compressions, (unsigned long long)counts.claims,
                (unsigned long long)counts.windowClaims, (unsigned long long)counts.memLevelClaims,
                (unsigned long long)counts.counterexamples);
    for (const std::string& example : counts.examples)
        std::printf("counterexample: %s\n", example.c_str());
    return counts.counterexamples == 0 ? 0 : 1;
}
