#include "tests/regression/regression_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "engine/png_optimizer.h"
#include "fuzz/allocation_cap.h"
#include "tests/common/test_support.h"

namespace {

// Hostile inputs may claim huge pictures; the heap refuses them here as it does
// under the fuzz targets, before any test runs.
const bool allocationsCapped = (capAllocations(), true);

}  // namespace

std::string fuzzInputFolder(const std::string& folder, const std::string& target)
{
    return (std::filesystem::path(TOLVARINX_FUZZ_DIR) / folder / target).string();
}

void exportSeed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes)
{
    const char* root = std::getenv("TOLVARINX_FUZZ_SEED_DIR");
    if (root == nullptr || *root == 0)
        return;
    const std::filesystem::path folder = std::filesystem::path(root) / target;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    writeFileBytes((folder / name).string(), bytes);
}

std::vector<uint8_t> conversionInput(const std::vector<uint8_t>& file, uint16_t options)
{
    std::vector<uint8_t> input(1 + file.size());
    input[0] = uint8_t(0x01 | (options & 7) << 1 | ((options & OPT_EXTENDED_SEARCH) ? 0x80 : 0));
    std::copy(file.begin(), file.end(), input.begin() + 1);
    return input;
}
