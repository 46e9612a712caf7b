// animation_render: the test compositor from the command line.
//
//   animation_render compare A B   exit 0 and "equal N frames" when the two files
//                                  (PNG, animated PNG or GIF) render alike, else
//                                  exit 1 with the first difference
//   animation_render frames IN DIR DIR/frame0001.png... (RGBA), DIR/delays.txt
//                                  ("num den" per frame, seconds = num / den,
//                                  den 0 written as 100), DIR/plays.txt
//
// Exit 2 on a usage error or a file that does not render or cannot be written.

#include <png.h>

#include <cstdio>
#include <string>

#include "tests/common/animation_compositor.h"
#include "tests/common/test_support.h"

namespace {

bool render(const char* path, RenderedAnimation& animation)
{
    const std::vector<uint8_t> bytes = readFileBytes(path);
    if (!bytes.empty() && renderAnimation(bytes, animation))
        return true;
    std::fprintf(stderr, "animation_render: %s does not render\n", path);
    return false;
}

bool writeRgbaPng(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels)
{
    std::vector<png_byte> bytes(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        for (int c = 0; c < 4; ++c)
            bytes[i * 4 + c] = png_byte(pixels[i] >> (24 - 8 * c));
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

bool writeText(const std::string& path, const std::string& text)
{
    return writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

int writeFrames(const char* input, const std::string& folder)
{
    RenderedAnimation animation;
    if (!render(input, animation))
        return 2;
    std::string delays;
    for (size_t i = 0; i < animation.frames.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame%04zu.png", i + 1);
        const RenderedAnimation::Frame& frame = animation.frames[i];
        if (!writeRgbaPng(folder + name, animation.width, animation.height, frame.rgba)) {
            std::fprintf(stderr, "animation_render: cannot write %s%s\n", folder.c_str(), name);
            return 2;
        }
        delays += std::to_string(frame.delayNum) + " " + std::to_string(frame.delayDen ? frame.delayDen : 100) + "\n";
    }
    if (!writeText(folder + "/delays.txt", delays) ||
        !writeText(folder + "/plays.txt", std::to_string(animation.plays) + "\n")) {
        std::fprintf(stderr, "animation_render: cannot write into %s\n", folder.c_str());
        return 2;
    }
    std::printf("%zu frames\n", animation.frames.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc == 4 && command == "compare") {
        RenderedAnimation a, b;
        if (!render(argv[2], a) || !render(argv[3], b))
            return 2;
        const std::string difference = compareRendered(a, b);
        if (!difference.empty()) {
            std::printf("%s\n", difference.c_str());
            return 1;
        }
        std::printf("equal %zu frames\n", a.frames.size());
        return 0;
    }
    if (argc == 4 && command == "frames")
        return writeFrames(argv[2], argv[3]);
    std::fprintf(stderr, "usage: animation_render compare A B\n"
                         "       animation_render frames IN DIR\n");
    return 2;
}
