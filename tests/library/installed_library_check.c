/* Built against an installed libtolvarinx with pkg-config: converts generated
 * 24-bit BMPs in memory and checks each PNG through libpng against the
 * pixels it was made from, and that tlvx_version is argv[1]. Exit status 0 when every case holds. */
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tolvarinx.h>

struct check_case {
    const char* name;
    unsigned width, height;
    unsigned colours; /* distinct colours of the pattern: few give a palette */
    unsigned options;
};

static const struct check_case kCases[] = {
    {"one pixel", 1, 1, 1, 0},
    {"odd size, many colours", 37, 23, 4096, 0},
    {"four colours", 40, 16, 4, 0},
    {"no filter or deflate trials", 64, 3, 300, TLVX_OPT_NO_FILTER_COMPARE | TLVX_OPT_NO_DEFLATE_COMPARE},
};

static unsigned char pattern_channel(unsigned x, unsigned y, unsigned channel, unsigned colours)
{
    unsigned index = (x * 7u + y * 13u + (x * y) % 5u) % colours;
    return (unsigned char)((index * (channel * 40u + 61u)) & 0xFFu);
}

static void put_le(unsigned char* at, unsigned value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = (unsigned char)(value >> (8 * i));
}

/* A bottom-up 24-bit BMP of the case's pattern; the caller frees it. */
static unsigned char* make_bmp(const struct check_case* c, size_t* size)
{
    const unsigned stride = (c->width * 3u + 3u) & ~3u;
    *size = 54u + (size_t)stride * c->height;
    unsigned char* bmp = calloc(*size, 1);
    if (!bmp)
        return NULL;
    bmp[0] = 'B';
    bmp[1] = 'M';
    put_le(bmp + 2, (unsigned)*size, 4);
    put_le(bmp + 10, 54, 4);
    put_le(bmp + 14, 40, 4);
    put_le(bmp + 18, c->width, 4);
    put_le(bmp + 22, c->height, 4);
    put_le(bmp + 26, 1, 2);
    put_le(bmp + 28, 24, 2);
    for (unsigned y = 0; y < c->height; ++y) {
        unsigned char* row = bmp + 54 + (size_t)(c->height - 1 - y) * stride;
        for (unsigned x = 0; x < c->width; ++x)
            for (unsigned ch = 0; ch < 3; ++ch) /* stored blue, green, red */
                row[x * 3 + ch] = pattern_channel(x, y, 2 - ch, c->colours);
    }
    return bmp;
}

/* 0 when the PNG decodes through libpng to the case's pixels, all opaque. */
static int compare_png(const struct check_case* c, const unsigned char* png, size_t size)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png, size)) {
        fprintf(stderr, "%s: libpng refuses the output: %s\n", c->name, image.message);
        return 1;
    }
    image.format = PNG_FORMAT_RGBA;
    unsigned char* pixels = malloc(PNG_IMAGE_SIZE(image));
    if (!pixels || !png_image_finish_read(&image, NULL, pixels, 0, NULL)) {
        fprintf(stderr, "%s: libpng could not decode the output\n", c->name);
        free(pixels);
        return 1;
    }
    int failed = image.width != c->width || image.height != c->height;
    for (unsigned y = 0; !failed && y < c->height; ++y)
        for (unsigned x = 0; !failed && x < c->width; ++x) {
            const unsigned char* p = pixels + ((size_t)y * c->width + x) * 4;
            for (unsigned ch = 0; ch < 3; ++ch)
                failed |= p[ch] != pattern_channel(x, y, ch, c->colours);
            failed |= p[3] != 255;
            if (failed)
                fprintf(stderr, "%s: pixel %u,%u differs\n", c->name, x, y);
        }
    free(pixels);
    return failed;
}

int main(int argc, char** argv)
{
    int failures = 0;
    if (argc != 2 || strcmp(tlvx_version(), argv[1]) != 0) {
        fprintf(stderr, "version %s, expected %s\n", tlvx_version(), argc == 2 ? argv[1] : "(none given)");
        return 1;
    }
    for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        const struct check_case* c = &kCases[i];
        size_t bmp_size = 0;
        unsigned char* bmp = make_bmp(c, &bmp_size);
        tlvx_settings settings = {0};
        settings.options = c->options;
        unsigned char* png = NULL;
        size_t png_size = 0;
        tlvx_result result;
        const int status = bmp ? tlvx_convert_memory(bmp, bmp_size, &settings, &png, &png_size, &result)
                               : TLVX_ERROR_MEMORY;
        if (status != TLVX_OK) {
            fprintf(stderr, "%s: %s\n", c->name, tlvx_status_text(status));
            ++failures;
        } else if (result.outcome != TLVX_OUTCOME_CONVERTED || result.output_bytes != png_size ||
                   compare_png(c, png, png_size)) {
            fprintf(stderr, "%s: wrong result (outcome %d, %zu bytes)\n", c->name, result.outcome, png_size);
            ++failures;
        } else {
            printf("%s: %zu -> %zu bytes, %d-bit\n", c->name, bmp_size, png_size, result.bit_depth);
        }
        tlvx_free(png);
        free(bmp);
    }
    printf("libtolvarinx %s: %d of %zu cases failed\n", tlvx_version(), failures,
           sizeof kCases / sizeof kCases[0]);
    return failures ? 1 : 0;
}
