// Independent PNG decoding through libpng, used to check what the program
// writes and reads. The classic interface is used so that no gamma or colour
// space conversion takes place: samples come out as stored.

#include "tests/common/test_support.h"

#include <png.h>

#include <cstring>

namespace {

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->position + count > reader->bytes->size())
        png_error(png, "read past end");
    std::memcpy(out, reader->bytes->data() + reader->position, count);
    reader->position += count;
}

void silentWarning(png_structp, png_const_charp) {}

// One libpng read: the data source set up by `prepare`, every size PNG
// allows (not only libpng's default of a million pixels a side), the header
// read; then `transform` sets the transformations it wants and returns the
// image's height, and every row is read into place. Rows land at
// rowsAt(y); a libpng error makes it false. Nothing with a destructor may
// live in the lambdas' frames, since libpng leaves them by longjmp.
template <typename Prepare, typename Transform, typename RowsAt>
bool readRows(Prepare prepare, Transform transform, RowsAt rowsAt)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, silentWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> pointers;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    prepare(png);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    const uint32_t height = transform(png, info);
    pointers.resize(height);
    for (uint32_t y = 0; y < height; ++y)
        pointers[y] = rowsAt(y);
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// Reads the rows as stored (passes combined, no other transformation);
// rows, rowBytes and depth are filled.
template <typename Prepare>
bool decodeStored(std::vector<uint8_t>& rows, size_t& rowBytes, int& depth, Prepare prepare)
{
    return readRows(
        prepare,
        [&](png_structp png, png_infop info) {
            png_set_interlace_handling(png);
            png_read_update_info(png, info);
            depth = png_get_bit_depth(png, info);
            rowBytes = png_get_rowbytes(png, info);
            const uint32_t height = png_get_image_height(png, info);
            rows.assign(rowBytes * height, 0);
            return height;
        },
        [&](uint32_t y) { return &rows[size_t(y) * rowBytes]; });
}

// Decodes to 8-bit RGBA.
template <typename Prepare>
bool decode(RgbaImage& out, Prepare prepare)
{
    return readRows(
        prepare,
        [&](png_structp png, png_infop info) {
            png_set_expand(png);
            png_set_strip_16(png);
            png_set_gray_to_rgb(png);
            png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
            png_set_interlace_handling(png);
            png_read_update_info(png, info);
            out.width = png_get_image_width(png, info);
            out.height = png_get_image_height(png, info);
            if (png_get_rowbytes(png, info) != size_t(out.width) * 4)
                png_error(png, "unexpected row size");
            out.pixels.assign(size_t(out.width) * out.height * 4, 0);
            return out.height;
        },
        [&](uint32_t y) { return &out.pixels[size_t(y) * out.width * 4]; });
}

// Decodes to 16-bit RGBA, each sample two bytes, most significant first.
template <typename Prepare>
bool decode16(uint32_t& width, uint32_t& height, std::vector<uint8_t>& bytes, Prepare prepare)
{
    return readRows(
        prepare,
        [&](png_structp png, png_infop info) {
            png_set_expand(png);
            png_set_expand_16(png);
            png_set_gray_to_rgb(png);
            png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
            png_set_interlace_handling(png);
            png_read_update_info(png, info);
            width = png_get_image_width(png, info);
            height = png_get_image_height(png, info);
            if (png_get_rowbytes(png, info) != size_t(width) * 8)
                png_error(png, "unexpected row size");
            bytes.assign(size_t(width) * height * 8, 0);
            return height;
        },
        [&](uint32_t y) { return &bytes[size_t(y) * width * 8]; });
}

}  // namespace

bool decodePngBytesWithLibpng16(const std::vector<uint8_t>& bytes, Rgba16Image& out)
{
    MemoryReader reader{&bytes, 0};
    std::vector<uint8_t> samples;
    if (!decode16(out.width, out.height, samples,
                  [&reader](png_structp png) { png_set_read_fn(png, &reader, readFromMemory); }))
        return false;
    out.samples.resize(samples.size() / 2);
    for (size_t i = 0; i < out.samples.size(); ++i)
        out.samples[i] = uint16_t(samples[2 * i] << 8 | samples[2 * i + 1]);
    return true;
}

bool decodePngWithLibpng(const std::string& path, RgbaImage& out)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool ok = decode(out, [file](png_structp png) { png_init_io(png, file); });
    std::fclose(file);
    return ok;
}

bool decodePngBytesWithLibpng(const std::vector<uint8_t>& bytes, RgbaImage& out)
{
    MemoryReader reader{&bytes, 0};
    return decode(out, [&reader](png_structp png) { png_set_read_fn(png, &reader, readFromMemory); });
}

bool decodePngSamplesWithLibpng(const std::vector<uint8_t>& bytes, bool& eightBitValues)
{
    MemoryReader reader{&bytes, 0};
    std::vector<uint8_t> rows;
    size_t rowBytes = 0;
    int depth = 0;
    if (!decodeStored(rows, rowBytes, depth,
                      [&reader](png_structp png) { png_set_read_fn(png, &reader, readFromMemory); }))
        return false;
    eightBitValues = true;
    for (size_t i = 0; depth == 16 && i + 1 < rows.size(); i += 2)
        eightBitValues = eightBitValues && rows[i] == rows[i + 1];
    return true;
}
