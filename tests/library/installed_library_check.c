/* Built against an installed libtolvarinx with pkg-config: converts generated
 * 24-bit BMPs in memory and checks each PNG through libpng against the
 * pixels it was made from, and that tlvx_version() is argv[1]. */
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tolvarinx.h>

static const struct {
    unsigned width, height, colours, options; /* few colours give a palette */
} kCases[] = {{1, 1, 1, 0}, {37, 23, 4096, 0}, {40, 16, 4, 0},
              {64, 3, 300, TLVX_OPT_NO_FILTER_COMPARE | TLVX_OPT_NO_DEFLATE_COMPARE},
              {40, 16, 4, TLVX_OPT_EXTENDED_SEARCH | TLVX_OPT_EXTENDED_LEVEL(TLVX_EXTENDED_LEVEL_FAST)}};

static unsigned char channel(unsigned x, unsigned y, unsigned c, unsigned colours)
{
    return (unsigned char)((x * 7u + y * 13u + (x * y) % 5u) % colours * (c * 40u + 61u));
}

static void put_le(unsigned char* at, unsigned value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = (unsigned char)(value >> (8 * i));
}

/* 0 when case i converts in memory into a PNG of exactly its pixels. */
static int check(size_t i)
{
    const unsigned w = kCases[i].width, h = kCases[i].height, colours = kCases[i].colours;
    const unsigned stride = (w * 3u + 3u) & ~3u;
    const size_t bmp_size = 54u + (size_t)stride * h;
    unsigned char* bmp = calloc(bmp_size, 1);
    unsigned char* rgba = malloc((size_t)w * h * 4);
    if (!bmp || !rgba)
        return 1;
    memcpy(bmp, "BM", 2);
    put_le(bmp + 2, (unsigned)bmp_size, 4);
    put_le(bmp + 10, 54, 4);
    put_le(bmp + 14, 40, 4);
    put_le(bmp + 18, w, 4);
    put_le(bmp + 22, h, 4);
    put_le(bmp + 26, 1, 2);
    put_le(bmp + 28, 24, 2);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            for (unsigned c = 0; c < 3; ++c) /* the BMP's rows bottom-up, blue first */
                bmp[54 + (size_t)(h - 1 - y) * stride + x * 3 + 2 - c] = channel(x, y, c, colours);

    tlvx_settings settings = {0};
    settings.options = kCases[i].options;
    unsigned char* png = NULL;
    size_t png_size = 0;
    tlvx_result result;
    const int status = tlvx_convert_memory(bmp, bmp_size, &settings, &png, &png_size, &result);
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    int failed = status != TLVX_OK || result.outcome != TLVX_OUTCOME_CONVERTED || result.output_bytes != png_size ||
                 !png_image_begin_read_from_memory(&image, png, png_size) || image.width != w || image.height != h;
    image.format = PNG_FORMAT_RGBA;
    failed = failed || !png_image_finish_read(&image, NULL, rgba, 0, NULL);
    for (size_t p = 0; !failed && p < (size_t)w * h; ++p)
        failed = rgba[p * 4 + 3] != 255 || rgba[p * 4] != channel(p % w, p / w, 0, colours) ||
                 rgba[p * 4 + 1] != channel(p % w, p / w, 1, colours) ||
                 rgba[p * 4 + 2] != channel(p % w, p / w, 2, colours);
    printf("%ux%u: %s, %zu -> %zu bytes, %d-bit: %s\n", w, h, tlvx_status_text(status), bmp_size, png_size,
           result.bit_depth, failed ? "FAILED" : "same pixels");
    tlvx_free(png);
    free(bmp);
    free(rgba);
    return failed;
}

int main(int argc, char** argv)
{
    int failures = argc != 2 || strcmp(tlvx_version(), argv[1]) != 0;
    printf("libtolvarinx %s\n", tlvx_version());
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i)
        failures += check(i);
    return failures ? 1 : 0;
}
