// chunk_readback INPUT OUTPUT: whether every ancillary chunk of INPUT that
// OUTPUT holds reads back equal through libpng (chunk_facts.h). Prints one
// line: "equal N" (N chunk kinds compared), or the kinds that differ
// ("DIFFERENT name") and those missing from OUTPUT ("missing name").
// Exit status 0 when both files were read, 1 otherwise.

#include <cstdio>
#include <fstream>
#include <iterator>

#include "bench/chunk_facts.h"

namespace {

bool readFile(const char* path, std::vector<uint8_t>& bytes)
{
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.good() || file.eof();
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<uint8_t> input, output;
    ChunkFacts in, out;
    if (argc != 3 || !readFile(argv[1], input) || !readFile(argv[2], output) || !readChunkFacts(input, in) ||
        !readChunkFacts(output, out)) {
        std::fprintf(stderr, "usage: chunk_readback INPUT OUTPUT (two PNG files libpng reads)\n");
        return 1;
    }
    std::string differences;
    for (const auto& [kind, value] : in) {
        const auto found = out.find(kind);
        if (found == out.end())
            differences += " missing " + kind;
        else if (found->second != value)
            differences += " DIFFERENT " + kind;
    }
    if (differences.empty())
        std::printf("equal %zu\n", in.size());
    else
        std::printf("%s\n", differences.c_str() + 1);
    return 0;
}
