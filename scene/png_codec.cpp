// PNG in through libspng and out through libdeflate, for scene images and vorlin-render.
#include "scene/image_codecs.h"
#include "scene/image_files.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <libdeflate.h>
#include <spng.h>

namespace {

// Ancillary chunks are never used, but the decoder reads them (and inflates the compressed
// text ones): what it keeps of them, and any one of them inflated, is held to this.
constexpr size_t kAncillaryChunkLimit = size_t(1) << 24;

struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

// Runs fn(first, last) over [0, count) in one band of rows per hardware thread; the calling
// thread takes the first band, and any band no thread could be started for.
template <typename Fn>
void ForBands(uint32_t count, Fn fn)
{
    const uint32_t threads =
        std::max<uint32_t>(1, std::min<uint32_t>(std::thread::hardware_concurrency(), count));
    auto start = [&](uint32_t t) { return uint32_t(uint64_t(count) * t / threads); };
    std::vector<std::thread> others;
    others.reserve(threads);
    uint32_t t = 1;
    for (; t < threads; ++t) {
        try {
            others.emplace_back(fn, start(t), start(t + 1));
        } catch (const std::system_error&) {
            break;
        }
    }
    fn(0, start(1));
    for (; t < threads; ++t)
        fn(start(t), start(t + 1));
    for (std::thread& other : others)
        other.join();
}

// The word whose bytes in memory are r, g, b, a, for an ARGB word; the same exchange turns
// such a word back.
uint32_t SwapToRgbaOrder(uint32_t w)
{
    if constexpr (std::endian::native == std::endian::little)
        return (w & 0xFF00FF00u) | (w >> 16 & 0xFFu) | (w & 0xFFu) << 16;
    else
        return w << 8 | w >> 24;
}

uint32_t SwapToArgbOrder(uint32_t w)
{
    if constexpr (std::endian::native == std::endian::little)
        return (w & 0xFF00FF00u) | (w >> 16 & 0xFFu) | (w & 0xFFu) << 16;
    else
        return w >> 8 | w << 24;
}

void PutBigEndian32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// Writes a chunk's length, type and CRC around `length` data bytes already at p + 8.
void FrameChunk(unsigned char* p, const char* type, uint32_t length)
{
    PutBigEndian32(p, length);
    std::memcpy(p + 4, type, 4);
    PutBigEndian32(p + 8 + length, libdeflate_crc32(0, p + 4, size_t(length) + 4));
}

}  // namespace

void RgbaToArgb(const unsigned char* rgba, size_t count, uint32_t* words)
{
    for (size_t i = 0; i < count; ++i) {
        uint32_t w;
        std::memcpy(&w, rgba + i * 4, 4);
        words[i] = SwapToArgbOrder(w);
    }
}

void ArgbToRgba(const uint32_t* words, size_t count, unsigned char* rgba)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t w = SwapToRgbaOrder(words[i]);
        std::memcpy(rgba + i * 4, &w, 4);
    }
}

bool DecodePng(const unsigned char* data, size_t size, PixelImage& image, std::string& failure)
{
    image = PixelImage{};
    std::unique_ptr<spng_ctx, SpngFree> ctx(spng_ctx_new(0));
    if (!ctx) {
        failure = "out of memory";
        return false;
    }
    spng_set_chunk_limits(ctx.get(), kAncillaryChunkLimit, kAncillaryChunkLimit);
    int ret = spng_set_png_buffer(ctx.get(), data, size);
    spng_ihdr ihdr{};
    if (ret == 0)
        ret = spng_get_ihdr(ctx.get(), &ihdr);
    if (ret != 0) {
        failure = spng_strerror(ret);
        return false;
    }
    if (uint64_t(ihdr.width) * ihdr.height > kMaxImagePixels) {
        failure = TooManyPixelsReason();
        return false;
    }
    // Transparency from tRNS is applied; gamma and colour profiles are not. Sixteen-bit
    // samples keep their high byte.
    ret = spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8,
                            SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
    PixelImage decoded;
    if (ret == 0 && !decoded.Allocate(ihdr.width, ihdr.height)) {
        failure = "out of memory";
        return false;
    }
    // RGBA bytes fill each row's words; a row of an image without interlacing is turned into
    // ARGB words as soon as it is whole, while it is still in the cache. An interlaced image
    // writes its rows several times, so it is turned once at the end.
    const size_t rowBytes = size_t(ihdr.width) * 4;
    while (ret == 0) {
        spng_row_info row{};
        ret = spng_get_row_info(ctx.get(), &row);
        if (ret != 0)
            break;
        uint32_t* words = decoded.pixels.data() + size_t(row.row_num) * ihdr.width;
        ret = spng_decode_row(ctx.get(), words, rowBytes);
        if ((ret == 0 || ret == SPNG_EOI) && ihdr.interlace_method == 0)
            RgbaToArgb(reinterpret_cast<const unsigned char*>(words), ihdr.width, words);
    }
    if (ret != SPNG_EOI) {
        failure = spng_strerror(ret);
        return false;
    }
    if (ihdr.interlace_method != 0)
        RgbaToArgb(reinterpret_cast<const unsigned char*>(decoded.pixels.data()),
                   decoded.pixels.size(), decoded.pixels.data());
    image = std::move(decoded);
    return true;
}

bool EncodePngConsuming(PixelImage& image, std::vector<unsigned char>& png)
{
    png.clear();
    const uint32_t width = image.width, height = image.height;
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxImagePixels)
        return false;
    // The rows as the compressor takes them: a filter byte, then the row less the one above
    // it, byte by byte ("Up"). On the benchmark's result that is within a few percent of the
    // smallest of the five filters at the fastest level, and its cost is a subtraction. Bands
    // of rows are filtered on all threads; the buffer is not zeroed first.
    const size_t rowBytes = size_t(width) * 4;
    const size_t filteredSize = (rowBytes + 1) * height;
    std::unique_ptr<unsigned char[]> filtered(new (std::nothrow) unsigned char[filteredSize]);
    if (!filtered)
        return false;
    bool outOfMemory = false;
    ForBands(height, [&](uint32_t first, uint32_t last) {
        std::unique_ptr<unsigned char[]> rows(new (std::nothrow) unsigned char[rowBytes * 2]);
        if (!rows) {
            outOfMemory = true;
            return;
        }
        unsigned char* above = rows.get();
        unsigned char* current = rows.get() + rowBytes;
        if (first == 0)
            std::memset(above, 0, rowBytes);
        else
            ArgbToRgba(image.pixels.data() + size_t(first - 1) * width, width, above);
        for (uint32_t y = first; y < last; ++y) {
            ArgbToRgba(image.pixels.data() + size_t(y) * width, width, current);
            unsigned char* out = filtered.get() + (rowBytes + 1) * y;
            out[0] = 2;  // Up
            for (size_t i = 0; i < rowBytes; ++i)
                out[1 + i] = static_cast<unsigned char>(current[i] - above[i]);
            std::swap(above, current);
        }
    });
    if (outOfMemory)
        return false;
    image = PixelImage{};  // spent: its memory goes back before the compressed copy is made

    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(1), libdeflate_free_compressor);
    if (!compressor)
        return false;
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    // The compressor writes into memory left unfilled (zeroing all of the bound would cost
    // more than copying what it wrote). One IDAT chunk holds it all: the filtered rows of the
    // largest image, 2^29 bytes and a filter byte per row, compress to less than a chunk's
    // 2^31 - 1 byte limit.
    std::unique_ptr<unsigned char[]> deflated(new (std::nothrow) unsigned char[bound]);
    if (!deflated)
        return false;
    const size_t compressed = libdeflate_zlib_compress(compressor.get(), filtered.get(),
                                                       filteredSize, deflated.get(), bound);
    filtered.reset();
    if (compressed == 0)
        return false;

    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    constexpr size_t kIdatAt = 8 + 25;
    const size_t iendAt = kIdatAt + 12 + compressed;
    try {
        png.resize(iendAt + 12);
    } catch (const std::bad_alloc&) {
        png.clear();
        return false;
    }
    unsigned char* p = png.data();
    std::memcpy(p, kSignature, 8);
    PutBigEndian32(p + 16, width);
    PutBigEndian32(p + 20, height);
    const unsigned char ihdrRest[5] = {8, 6, 0, 0, 0};  // 8-bit RGBA, no interlacing
    std::memcpy(p + 24, ihdrRest, 5);
    FrameChunk(p + 8, "IHDR", 13);
    std::memcpy(p + kIdatAt + 8, deflated.get(), compressed);
    FrameChunk(p + kIdatAt, "IDAT", uint32_t(compressed));
    FrameChunk(p + iendAt, "IEND", 0);
    return true;
}
