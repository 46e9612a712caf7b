/*
 * libtolvarinx: the Tolvarinx lossless PNG optimizer as a C library.
 *
 * A BMP, PNG or GIF image (recognised by its first bytes, never by a name)
 * becomes the smallest PNG the optimizer finds for exactly the same pixels,
 * either from memory to memory or from file to file. Link with
 * `pkg-config --cflags --libs tolvarinx` (add --static for libtolvarinx.a).
 *
 * Status and outcome: every conversion returns a tlvx_status; TLVX_OK is 0
 * and tlvx_status_text gives a static English text for each code.
 *
 * Ownership: the library keeps no pointer it was given once a call returns.
 * A PNG returned in *output belongs to the caller, who releases it with
 * tlvx_free (not with another allocator's free).
 *
 * Threads: every function may be called from several threads at once. Each
 * conversion uses only what it is given; the trials of every conversion in
 * the process run on one shared set of worker threads (as many as the machine
 * has cores, as many as tlvx_set_threads asks, or TOLVARINX_THREADS from 1 to
 * 256 when set), which exists only
 * while a conversion runs. The progress callback runs on the thread that made
 * the call. The cancel flag may be set from any thread. Two calls at once
 * must not write the same output file, and the environment must not be
 * changed (setenv) while a conversion runs. The output does not depend on the
 * number of threads. The library installs no signal handlers.
 *
 * Files: the memory conversion works in memory only; it reads, creates and
 * removes no file and needs no temporary folder.
 */
#ifndef TOLVARINX_H
#define TOLVARINX_H

#include <stddef.h>

#if defined(TOLVARINX_BUILDING_LIBRARY) && defined(__GNUC__)
#define TLVX_API __attribute__((visibility("default")))
#else
#define TLVX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Option bits (tlvx_settings.options). */
#define TLVX_OPT_NO_FILTER_COMPARE 0x1u  /* every row unfiltered, no filter trials */
#define TLVX_OPT_NO_DEFLATE_COMPARE 0x2u /* window bits 15, memory level 8 only */
#define TLVX_OPT_NO_8BIT_COMPARE 0x4u    /* a 1/2/4-bit palette image is not also tried at 8 bits */
#define TLVX_OPT_EXTENDED_SEARCH 0x8u    /* the slower extended search after the default one; also
                                            reads interlaced, grey+alpha and 16-bit PNGs of 8-bit
                                            values and keeps a PNG's sRGB, gAMA, cHRM and iCCP */
/* The most zopfli iterations tlvx_settings.extended_iterations takes. */
#define TLVX_MAX_EXTENDED_ITERATIONS 1000
#define TLVX_OPT_ALL 0xFu                /* every bit above */

/*
 * The extended search's level, a field of two bits in tlvx_settings.options,
 * read only with TLVX_OPT_EXTENDED_SEARCH: options |= TLVX_OPT_EXTENDED_LEVEL(n).
 * 0 (none given) is the default, level 2. A value above 3 sets bits outside
 * the field; every bit outside TLVX_OPT_ALL and TLVX_OPT_EXTENDED_LEVEL_MASK
 * is an argument error.
 */
#define TLVX_EXTENDED_LEVEL_FAST 1     /* no zopfli, the default search on small images only: the fastest */
#define TLVX_EXTENDED_LEVEL_BALANCED 2 /* zopfli on the best candidate, the default search on small images only */
#define TLVX_EXTENDED_LEVEL_MAX 3      /* the default search, then zopfli on more candidates with more iterations: the slowest */
#define TLVX_OPT_EXTENDED_LEVEL_SHIFT 4
#define TLVX_OPT_EXTENDED_LEVEL_MASK 0x30u
#define TLVX_OPT_EXTENDED_LEVEL(n) ((unsigned)(n) << TLVX_OPT_EXTENDED_LEVEL_SHIFT)
/* An animated GIF becomes an animated PNG of every frame (without it: a PNG
   of its first frame). An animated PNG input is always written whole. */
#define TLVX_OPT_ANIMATE_GIF 0x1000u
/* The colours of fully transparent pixels (alpha 0) may change to whatever
   compresses best: NOT bit-exact for invisible pixels. Every pixel with alpha
   above 0 stays exact, and the PNG is never larger than without it. */
#define TLVX_OPT_CLEAN_ALPHA 0x4000u

typedef enum tlvx_status {
    TLVX_OK = 0,
    TLVX_ERROR_ARGUMENT = 1,  /* a required pointer is NULL, the input is empty, or a setting is out of range */
    TLVX_ERROR_READ = 2,      /* the input is no BMP, PNG or GIF that the optimizer reads */
    TLVX_ERROR_CONVERT = 3,   /* the conversion failed (memory) */
    TLVX_ERROR_WRITE = 4,     /* the output file could not be written */
    TLVX_ERROR_CANCELLED = 5, /* the cancel flag was set; nothing was written */
    TLVX_ERROR_MEMORY = 6,    /* out of memory outside the optimizer */
    TLVX_ERROR_NOT_FOUND = 7, /* the input file does not exist */
    TLVX_ERROR_NOT_READABLE = 8 /* the input file exists but cannot be read (permission, a folder) */
} tlvx_status;

/* How a successful conversion ended (tlvx_result.outcome). */
typedef enum tlvx_outcome {
    TLVX_OUTCOME_NONE = 0,      /* the call failed */
    TLVX_OUTCOME_CONVERTED = 1, /* a new PNG was written */
    TLVX_OUTCOME_COPIED = 2,    /* a PNG input the optimizer could not make smaller: its bytes, unchanged */
    TLVX_OUTCOME_KEPT = 3       /* as COPIED, but the output file is the input file: nothing was written */
} tlvx_outcome;

/*
 * Progress: (bit depth, window bits, memory level, filter, size, user_data),
 * -1 for an argument that does not apply. A bit depth starts: (depth, -1, -1,
 * -1, -1); a filter trial starts (-1, -1, -1, f, -1) and ends (-1, -1, -1, f,
 * size); a deflate trial starts (-1, w, m, -1, -1) and ends (-1, w, m, -1,
 * size); with TLVX_OPT_EXTENDED_SEARCH each extended step (-1, -1, -1, -1, -1).
 */
typedef void (*tlvx_progress_fn)(int bit_depth, int window_bits, int mem_level, int filter, int size,
                                 void* user_data);

/*
 * What a conversion runs with. All zero (`tlvx_settings s = {0};`) or a NULL
 * pointer: the default search, no progress, no cancel flag.
 */
typedef struct tlvx_settings {
    unsigned options;          /* TLVX_OPT_* bits and TLVX_OPT_EXTENDED_LEVEL(n) */
    int extended_iterations;   /* zopfli iterations of the extended search at levels 2 and 3, 0 = chosen
                                  by the data size, at most TLVX_MAX_EXTENDED_ITERATIONS */
    tlvx_progress_fn progress; /* may be NULL */
    void* user_data;           /* passed to progress */
    /* May be NULL. Set *cancel non-zero from any thread, before or during
     * the call, to stop the conversion (store it atomically, e.g.
     * __atomic_store_n(cancel, 1, __ATOMIC_RELAXED)): the call then returns
     * TLVX_ERROR_CANCELLED and writes nothing. The library only reads it, at
     * the start and at every progress event; it must stay valid until the
     * call returns. */
    volatile short* cancel;
} tlvx_settings;

/* Filled by a conversion when not NULL; all zero when the call fails. */
typedef struct tlvx_result {
    int outcome;                 /* tlvx_outcome */
    unsigned long input_bytes;   /* bytes of the input */
    unsigned long output_bytes;  /* bytes of the output (the input's when COPIED or KEPT) */
    unsigned long png_bytes;     /* bytes of the best PNG the optimizer found */
    /* The default search's choice; all four 0 where none ran (extended levels 1 and 2 on a larger image). */
    int bit_depth;               /* 1, 2, 4, 8, 24 or 32 */
    int filter;                  /* 0 none, 1 sub, 2 up, 3 average, 4 Paeth, 5 per row */
    int window_bits;
    int mem_level;
} tlvx_result;

/* The library's version, e.g. "3.0.0". */
TLVX_API const char* tlvx_version(void);

/* A static English text for a tlvx_status; "unknown status" for other values. */
TLVX_API const char* tlvx_status_text(int status);

/*
 * Converts the input_size bytes at input into a PNG in memory. On TLVX_OK
 * *output holds *output_size bytes (the caller frees them with tlvx_free):
 * the new PNG, or the input itself when it is a PNG that the optimizer could
 * not make strictly smaller or an animated PNG, which is never cut to one
 * frame (a PNG is recognised by its content). It never
 * touches the file system. On failure *output is NULL and *output_size 0.
 * settings and result may be NULL.
 */
TLVX_API int tlvx_convert_memory(const void* input, size_t input_size, const tlvx_settings* settings,
                                 unsigned char** output, size_t* output_size, tlvx_result* result);

/*
 * Converts the image file at input_path into output_path (both required) as
 * `tolvarinxc -i IN -o OUT` does: a PNG input whose name ends in ".png" is
 * replaced only by a strictly smaller file, else copied to output_path
 * unchanged (or left alone when output_path is the input); the output is
 * written under a temporary name beside it and replaces an existing file
 * only once complete, so a failure leaves output_path as it was. A replaced
 * file keeps its mode, owner, group and extended attributes where the
 * process may set them; a path that is a symbolic link has the file it
 * names replaced and stays a link. An input that is an animated PNG is
 * never cut to one frame: it comes out as COPIED or KEPT, unchanged; an
 * input file with other names (hard links) converted onto itself is KEPT
 * unchanged. An animated GIF gives a PNG of its first frame. Paths are
 * UTF-8 on Windows (any name the system has) and bytes as given elsewhere.
 * settings and result may be NULL.
 */
TLVX_API int tlvx_convert_file(const char* input_path, const char* output_path, const tlvx_settings* settings,
                               tlvx_result* result);

/*
 * tlvx_convert_memory and tlvx_convert_file that also keep a PNG input's
 * ancillary chunks named in keep_chunks: four-letter chunk names and the
 * words text (tEXt, zTXt, iTXt), colour (iCCP, sRGB, gAMA, cHRM, cICP, mDCV,
 * cLLI), exif, phys, time, safe (the groups and every chunk marked safe to
 * copy) and all, separated by commas or spaces, e.g. "text,pHYs". The chunks
 * keep their place and count in the sizes the search compares; sBIT, bKGD
 * and hIST are rewritten for the new file's layout or left out. NULL or ""
 * keeps none (as the calls without the list); a word that is neither a
 * chunk name nor a group word is TLVX_ERROR_ARGUMENT.
 */
TLVX_API int tlvx_convert_memory_keeping(const void* input, size_t input_size, const tlvx_settings* settings,
                                         const char* keep_chunks, unsigned char** output, size_t* output_size,
                                         tlvx_result* result);
TLVX_API int tlvx_convert_file_keeping(const char* input_path, const char* output_path,
                                       const tlvx_settings* settings, const char* keep_chunks,
                                       tlvx_result* result);

/*
 * Sets how many worker threads the conversions that start afterwards share:
 * 0 (the default) for one per core, at most 256. The files made do not
 * depend on it. TOLVARINX_THREADS, when set, still wins. Returns the
 * setting it replaced.
 */
TLVX_API unsigned tlvx_set_threads(unsigned count);

/* Releases a buffer returned by tlvx_convert_memory; NULL is ignored. */
TLVX_API void tlvx_free(void* data);

#ifdef __cplusplus
}
#endif

#endif /* TOLVARINX_H */
