#include "tests/common/in_place_cases.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/common/animation_compositor.h"
#include "tests/common/image_file_builders.h"

namespace {

RgbaImage casePicture()
{
    RgbaImage picture;
    picture.width = 20;
    picture.height = 14;
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint8_t rgba[4] = {uint8_t(x * 12), uint8_t(y * 17), uint8_t((x + y) % 3 * 80), 255};
            picture.pixels.insert(picture.pixels.end(), rgba, rgba + 4);
        }
    }
    return picture;
}

bool writeStoredPng(const std::string& path, InPlaceFile& file)
{
    file.picture = casePicture();
    file.before = encodePng(file.picture, false, 0);
    file.path = path;
    file.realPath = path;
    return writeFileBytes(path, file.before);
}

template <unsigned Mode>
bool withMode(const std::string& folder, InPlaceFile& file, std::string&)
{
    return writeStoredPng(folder + "/mode.png", file) && chmod(file.path.c_str(), Mode) == 0;
}

bool withOwner(const std::string& folder, InPlaceFile& file, std::string& skipped)
{
    if (geteuid() != 0) {
        skipped = "owner and group are set only as root";
        return false;
    }
    return writeStoredPng(folder + "/owned.png", file) && chown(file.path.c_str(), 1234, 2345) == 0 &&
           chmod(file.path.c_str(), 0640) == 0;
}

bool withAttribute(const std::string& folder, InPlaceFile& file, std::string& skipped)
{
    if (!writeStoredPng(folder + "/attributed.png", file))
        return false;
    const char value[] = "kept";
    if (setxattr(file.path.c_str(), "user.tolvarinx", value, sizeof value - 1, 0) != 0) {
        skipped = std::string("this file system keeps no user attributes: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool throughLink(const std::string& folder, InPlaceFile& file, std::string&)
{
    const std::string real = folder + "/real";
    InPlaceFile target;
    if (mkdir(real.c_str(), 0755) != 0 || !writeStoredPng(real + "/target.png", target))
        return false;
    file = target;
    file.path = folder + "/link.png";
    return symlink("real/target.png", file.path.c_str()) == 0;
}

bool throughLinkChain(const std::string& folder, InPlaceFile& file, std::string& skipped)
{
    if (!throughLink(folder, file, skipped))
        return false;
    file.path = folder + "/chain.png";
    return symlink("link.png", file.path.c_str()) == 0;
}

bool hardLinked(const std::string& folder, InPlaceFile& file, std::string&)
{
    return writeStoredPng(folder + "/linked.png", file) &&
           link(file.path.c_str(), (folder + "/other-name.png").c_str()) == 0;
}

bool animated(const std::string& folder, InPlaceFile& file, std::string&)
{
    file.picture = casePicture();
    file.before = encodeAnimatedPng(file.picture, 5);
    file.path = folder + "/animated.png";
    file.realPath = file.path;
    return writeFileBytes(file.path, file.before);
}

}  // namespace

const std::vector<InPlaceCase> kInPlaceCases = {
    {"mode 600", InPlaceExpect::Smaller, nullptr, withMode<0600>},
    {"mode 640", InPlaceExpect::Smaller, nullptr, withMode<0640>},
    {"mode 664", InPlaceExpect::Smaller, nullptr, withMode<0664>},
    {"mode 755", InPlaceExpect::Smaller, nullptr, withMode<0755>},
    {"set-group-ID 2775", InPlaceExpect::Smaller, nullptr, withMode<02775>},
    {"owner 1234:2345", InPlaceExpect::Smaller, nullptr, withOwner},
    {"extended attribute", InPlaceExpect::Smaller, nullptr, withAttribute},
    {"symbolic link", InPlaceExpect::Smaller, nullptr, throughLink},
    {"chain of links", InPlaceExpect::Smaller, nullptr, throughLinkChain},
    {"hard link", InPlaceExpect::Unchanged, "ﾊｰﾄﾞﾘﾝｸ", hardLinked},
    {"animated PNG", InPlaceExpect::Smaller, "ｱﾆﾒｰｼｮﾝPNG", animated},
};

bool IdentitySnapshot::operator==(const IdentitySnapshot& other) const
{
    return mode == other.mode && uid == other.uid && gid == other.gid && pathIsLink == other.pathIsLink &&
           attributes == other.attributes;
}

IdentitySnapshot identityOf(const InPlaceFile& file)
{
    IdentitySnapshot snapshot;
    struct stat info;
    if (stat(file.realPath.c_str(), &info) == 0) {
        snapshot.mode = info.st_mode & 07777;
        snapshot.uid = info.st_uid;
        snapshot.gid = info.st_gid;
    }
    snapshot.pathIsLink = lstat(file.path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    char names[4096];
    const ssize_t length = listxattr(file.realPath.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        char value[4096];
        const ssize_t size = getxattr(file.realPath.c_str(), names + at, value, sizeof value);
        snapshot.attributes.emplace_back(names + at, std::string(value, size > 0 ? size_t(size) : 0));
    }
    return snapshot;
}

void expectConvertedInPlace(const InPlaceCase& c, const InPlaceFile& file, const IdentitySnapshot& before,
                            const std::string& where)
{
    const std::vector<uint8_t> after = readFileBytes(file.realPath);
    EXPECT_TRUE(identityOf(file) == before) << where << ": identity changed";
    if (c.expect == InPlaceExpect::Unchanged) {
        EXPECT_EQ(after, file.before) << where;
        return;
    }
    EXPECT_LT(after.size(), file.before.size()) << where;
    RenderedAnimation shownBefore, shownAfter;
    ASSERT_TRUE(renderPng(file.before, shownBefore) && renderPng(after, shownAfter)) << where;
    EXPECT_EQ(compareRendered(shownBefore, shownAfter), "") << where;
    RgbaImage decoded;
    ASSERT_TRUE(decodePngBytesWithLibpng(after, decoded)) << where;
    EXPECT_EQ(decoded.pixels, file.picture.pixels) << where;
}
