// Writes the animated GIFs of the benchmark's animation section into a folder:
//   spinner.gif          64 x 64, 12 frames: a rotating arc on a transparent
//                        background (transparent index, restore to background)
//   screen-recording.gif 640 x 400, 60 frames: a text terminal where each frame
//                        changes a few small regions, each frame the rectangle
//                        around its changes (disposal none)
//   moving-shape.gif     160 x 120, 120 frames: a disc moving over a gradient,
//                        full frames, one global palette
// Deterministic: fixed seeds, no clock. Usage: animation_samples FOLDER

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// xorshift32 with a fixed seed: the same pictures on every run and platform.
struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

struct Rgb { uint8_t r, g, b; };

struct Image {   // one GIF image: its rectangle inside the screen and its indices
    int x, y, width, height;
    std::vector<uint8_t> indices;
};

// A GIF writer over giflib; every failure ends in a message and false.
class GifOut {
public:
    GifOut(const std::string& path, int width, int height, const std::vector<Rgb>& palette, int loops)
        : path_(path) {
        int error = 0;
        gif_ = EGifOpenFileName(path.c_str(), false, &error);
        if (!gif_) { ok_ = false; return; }
        EGifSetGifVersion(gif_, true);
        int size = 2;
        while (size < int(palette.size())) size *= 2;
        ColorMapObject* map = GifMakeMapObject(size, nullptr);
        if (!map) { ok_ = false; return; }
        for (int i = 0; i < size; ++i) {
            const Rgb c = i < int(palette.size()) ? palette[i] : Rgb{0, 0, 0};
            map->Colors[i] = GifColorType{c.r, c.g, c.b};
        }
        ok_ = EGifPutScreenDesc(gif_, width, height, 8, 0, map) == GIF_OK;
        GifFreeMapObject(map);
        if (ok_ && loops >= 0) {   // NETSCAPE2.0: loops after the first play, 0 without end
            const GifByteType loop[3] = {1, GifByteType(loops & 0xff), GifByteType(loops >> 8)};
            ok_ = EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
                  EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_OK &&
                  EGifPutExtensionBlock(gif_, 3, loop) == GIF_OK &&
                  EGifPutExtensionTrailer(gif_) == GIF_OK;
        }
    }
    // One image with its graphic control: delay in centiseconds, disposal
    // (DISPOSE_* of giflib), transparent index or NO_TRANSPARENT_COLOR.
    void put(Image& image, int delay, int disposal, int transparent) {
        if (!ok_) return;
        GraphicsControlBlock control{disposal, false, delay, transparent};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok_ = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
              EGifPutImageDesc(gif_, image.x, image.y, image.width, image.height, false, nullptr) == GIF_OK;
        for (int row = 0; ok_ && row < image.height; ++row)
            ok_ = EGifPutLine(gif_, &image.indices[size_t(row) * image.width], image.width) == GIF_OK;
    }
    bool close() {
        int error = 0;
        if (gif_ && EGifCloseFile(gif_, &error) != GIF_OK) ok_ = false;
        gif_ = nullptr;
        if (!ok_) std::fprintf(stderr, "animation_samples: cannot write %s\n", path_.c_str());
        return ok_;
    }

private:
    std::string path_;
    GifFileType* gif_ = nullptr;
    bool ok_ = true;
};

constexpr double kPi = 3.14159265358979323846;

bool spinner(const std::string& folder) {
    const int size = 64, frames = 12, shades = 8;
    std::vector<Rgb> palette{{0, 0, 0}};   // 0: transparent
    for (int s = 0; s < shades; ++s)
        palette.push_back(Rgb{uint8_t(20 + 20 * s), uint8_t(60 + 22 * s), 255});
    GifOut gif(folder + "/spinner.gif", size, size, palette, 0);
    for (int f = 0; f < frames; ++f) {
        Image image{0, 0, size, size, std::vector<uint8_t>(size * size, 0)};
        const double head = 2 * kPi * f / frames;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const double dx = x + 0.5 - size / 2.0, dy = y + 0.5 - size / 2.0;
                const double radius = std::sqrt(dx * dx + dy * dy);
                if (radius < 20 || radius > 29) continue;
                double behind = head - std::atan2(dy, dx);   // the tail fades behind the head
                behind -= 2 * kPi * std::floor(behind / (2 * kPi));
                if (behind < 1.5 * kPi)
                    image.indices[y * size + x] = uint8_t(1 + int((1 - behind / (1.5 * kPi)) * (shades - 1) + 0.5));
            }
        gif.put(image, 8, DISPOSE_BACKGROUND, 0);
    }
    return gif.close();
}

bool screenRecording(const std::string& folder) {
    const int columns = 80, lines = 25, cellW = 8, cellH = 16, width = columns * cellW, height = lines * cellH;
    const std::vector<Rgb> palette{{0, 0, 0},       {205, 49, 49},   {13, 188, 121},  {229, 229, 16},
                                   {36, 114, 200},  {188, 63, 188},  {17, 168, 205},  {229, 229, 229},
                                   {102, 102, 102}, {241, 76, 76},   {35, 209, 139},  {245, 245, 67},
                                   {59, 142, 234},  {214, 112, 214}, {41, 184, 219},  {255, 255, 255}};
    Random random{0x2545f491u};
    std::vector<uint8_t> screen(size_t(width) * height, 0);
    // A cell's glyph: 5 x 9 dots from the character's own seed, so a character looks the same each time.
    auto drawCell = [&](int column, int line, uint32_t character, uint8_t colour) {
        Random glyph{character * 2654435761u + 1};
        for (int y = 0; y < cellH; ++y)
            for (int x = 0; x < cellW; ++x) {
                bool on = false;
                if (character != ' ' && x >= 1 && x < 6 && y >= 4 && y < 13) on = glyph.next() & 0x100;
                screen[size_t(line * cellH + y) * width + column * cellW + x] = on ? colour : 0;
            }
    };
    auto randomCharacter = [&]() { return random.below(6) == 0 ? uint32_t(' ') : 33 + random.below(94); };
    for (int line = 0; line < 20; ++line)   // the text already on the screen
        for (int column = 0; column < 20 + int(random.below(55)); ++column)
            drawCell(column, line, randomCharacter(), uint8_t(7 + 8 * (random.below(4) == 0)));
    for (int column = 0; column < columns; ++column)   // the status line
        drawCell(column, lines - 1, column < 12 ? 'A' + column : ' ', 2);
    GifOut gif(folder + "/screen-recording.gif", width, height, palette, 0);
    std::vector<uint8_t> shown(screen.size(), 255);   // what the viewer shows; 255 before the first frame
    int cursorColumn = 0, cursorLine = 21;
    for (int f = 0; f < 60; ++f) {
        if (f > 0) {
            const int typed = 1 + random.below(3);   // the prompt line: one to three characters
            for (int k = 0; k < typed && cursorColumn < columns - 1; ++k)
                drawCell(cursorColumn++, cursorLine, randomCharacter(), 10);
            if (cursorColumn >= 60) { cursorColumn = 0; cursorLine = cursorLine == 21 ? 22 : 21; }
            if (f % 10 == 0)   // the clock at the status line's end
                for (int c = 0; c < 5; ++c) drawCell(72 + c, lines - 1, '0' + (f / 10 + c) % 10, 11);
            if (f % 7 == 0)   // a blinking marker on the status line
                drawCell(70, lines - 1, (f / 7) % 2 ? '*' : ' ', 9);
        }
        for (int y = 0; y < cellH; ++y)   // the cursor block
            for (int x = 0; x < cellW; ++x)
                screen[size_t(cursorLine * cellH + y) * width + cursorColumn * cellW + x] = (f % 2) ? 0 : 7;
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (screen[size_t(y) * width + x] != shown[size_t(y) * width + x]) {
                    left = std::min(left, x); right = std::max(right, x);
                    top = std::min(top, y); bottom = std::max(bottom, y);
                }
        if (right < 0) { left = top = right = bottom = 0; }   // nothing changed: one pixel, as it is
        Image image{left, top, right - left + 1, bottom - top + 1, {}};
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) image.indices.push_back(screen[size_t(y) * width + x]);
        gif.put(image, 10, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR);
        shown = screen;
    }
    return gif.close();
}

bool movingShape(const std::string& folder) {
    const int width = 160, height = 120, frames = 120, steps = 192;
    std::vector<Rgb> palette;
    for (int i = 0; i < steps; ++i)   // the gradient, dark blue to orange
        palette.push_back(Rgb{uint8_t(i * 255 / steps), uint8_t(40 + i * 100 / steps), uint8_t(160 - i * 140 / steps)});
    for (int i = 0; i < 64; ++i)   // the disc's shading
        palette.push_back(Rgb{uint8_t(255 - i * 2), uint8_t(255 - i * 3), uint8_t(80 + i)});
    GifOut gif(folder + "/moving-shape.gif", width, height, palette, 2);
    for (int f = 0; f < frames; ++f) {
        Image image{0, 0, width, height, std::vector<uint8_t>(size_t(width) * height)};
        const double cx = 80 + 55 * std::sin(2 * kPi * f / frames), cy = 60 + 35 * std::sin(4 * kPi * f / frames);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
                image.indices[size_t(y) * width + x] =
                    d < 18 ? uint8_t(steps + std::min(63, int(d * 3.5))) : uint8_t((x + y) * (steps - 1) / (width + height - 2));
            }
        gif.put(image, 4, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR);
    }
    return gif.close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: animation_samples FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool a = spinner(folder), b = screenRecording(folder), c = movingShape(folder);
    return a && b && c ? 0 : 1;
}
