/* The outside baseline: libtiff's bare decode of a whole TIFF page (every
 * strip or tile into memory, nothing written out), timed natively with
 * CLOCK_MONOTONIC. Built and run on the host by bench/run_bench.py against
 * Debian's libtiff.
 *
 * Usage: libtiff_decode FILE RUNS
 * Prints: median_ms=... min_ms=... bytes=... (the decoded size)
 */
#include <stdio.h>
#include <stdlib.h>
#include <tiffio.h>
#include <time.h>

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

static int compare(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

/* One full decode; the decoded byte count, or -1. */
static long long decode_all(TIFF* tiff, unsigned char* buffer, tmsize_t size) {
    const int tiled = TIFFIsTiled(tiff);
    const uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    long long total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const tmsize_t n =
            tiled ? TIFFReadEncodedTile(tiff, i, buffer, size) : TIFFReadEncodedStrip(tiff, i, buffer, size);
        if (n < 0) return -1;
        total += n;
    }
    return total;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: libtiff_decode FILE RUNS\n");
        return 2;
    }
    const int runs = atoi(argv[2]) > 0 ? atoi(argv[2]) : 1;
    TIFF* tiff = TIFFOpen(argv[1], "r");
    if (!tiff) return 1;
    uint16_t compression = 0;
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    /* JPEG comes out as RGB, as the viewer's decoder delivers it. */
    if (compression == COMPRESSION_JPEG) TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    const tmsize_t size = TIFFIsTiled(tiff) ? TIFFTileSize(tiff) : TIFFStripSize(tiff);
    unsigned char* buffer = malloc((size_t)size);
    double* times = malloc(sizeof(double) * (size_t)runs);
    if (!buffer || !times) return 1;
    long long bytes = 0;
    for (int r = 0; r < runs; ++r) {
        const double start = now_ms();
        bytes = decode_all(tiff, buffer, size);
        times[r] = now_ms() - start;
        if (bytes < 0) return 1;
    }
    qsort(times, (size_t)runs, sizeof(double), compare);
    printf("median_ms=%.2f min_ms=%.2f bytes=%lld\n", times[runs / 2], times[0], bytes);
    TIFFClose(tiff);
    free(buffer);
    free(times);
    return 0;
}
