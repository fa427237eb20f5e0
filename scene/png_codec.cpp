// PNG in through libspng and out through zlib and libdeflate, for scene images and
// vorlin-render.
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
#include <zlib.h>

namespace {

// Ancillary chunks are never used, but the decoder reads them (and inflates the compressed
// text ones): what it keeps of them, and any one of them inflated, is held to this.
constexpr size_t kAncillaryChunkLimit = size_t(1) << 24;

struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

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

void DecodeWatch::Begin(const uint32_t* words, uint32_t width, uint32_t height)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        words_ = words;
        width_ = width;
        height_ = height;
    }
    changed_.notify_all();
}

void DecodeWatch::RowsDone(uint32_t rows)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows_ = rows;
    }
    changed_.notify_all();
}

void DecodeWatch::End()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

void DecodeWatch::Abandon()
{
    std::unique_lock<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !reading_; });
}

const uint32_t* DecodeWatch::WaitForBegin(uint32_t& width, uint32_t& height)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return words_ != nullptr || ended_; });
    width = width_;
    height = height_;
    return words_;
}

bool DecodeWatch::BeginReading(uint32_t rows)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return rows_ >= rows || ended_; });
    reading_ = rows_ >= rows;
    return reading_;
}

void DecodeWatch::EndReading()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reading_ = false;
    }
    changed_.notify_all();
}

bool DecodeWatch::RowsDoneOrEnded(uint32_t rows)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return rows_ >= rows || ended_;
}

bool DecodePng(const unsigned char* data, size_t size, PixelImage& image, std::string& failure,
               DecodeWatch* watch)
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
    const bool byRows = ret == 0 && ihdr.interlace_method == 0 && watch != nullptr;
    // A decode that fails after the watch has begun waits, before its words are freed, for
    // the follower to stop reading them.
    struct AbandonUnlessDone {
        DecodeWatch* watch;
        bool done = false;
        ~AbandonUnlessDone()
        {
            if (watch && !done)
                watch->Abandon();
        }
    } abandon{byRows ? watch : nullptr};
    if (byRows)
        watch->Begin(decoded.pixels.data(), decoded.width, decoded.height);
    constexpr uint32_t kRowsBetweenReports = 16;
    while (ret == 0) {
        spng_row_info row{};
        ret = spng_get_row_info(ctx.get(), &row);
        if (ret != 0)
            break;
        uint32_t* words = decoded.pixels.data() + size_t(row.row_num) * ihdr.width;
        ret = spng_decode_row(ctx.get(), words, rowBytes);
        if ((ret == 0 || ret == SPNG_EOI) && ihdr.interlace_method == 0) {
            RgbaToArgb(reinterpret_cast<const unsigned char*>(words), ihdr.width, words);
            if (byRows && (row.row_num % kRowsBetweenReports == kRowsBetweenReports - 1 ||
                           row.row_num + 1 == ihdr.height))
                watch->RowsDone(row.row_num + 1);
        }
    }
    if (ret != SPNG_EOI) {
        failure = spng_strerror(ret);
        return false;
    }
    if (ihdr.interlace_method != 0)
        RgbaToArgb(reinterpret_cast<const unsigned char*>(decoded.pixels.data()),
                   decoded.pixels.size(), decoded.pixels.data());
    image = std::move(decoded);
    abandon.done = true;
    return true;
}

namespace {

// The rows as the compressor takes them: a filter byte, then the row less the one above it,
// byte by byte ("Up"). On the benchmark's result that is within a few percent of the smallest
// of the five filters at the fastest level, and its cost is a subtraction. Rows [first, last)
// go to `out`; `scratch` holds two rows of RGBA bytes.
void FilterRowsUp(const PixelImage& image, uint32_t first, uint32_t last, unsigned char* out,
                  unsigned char* scratch)
{
    const uint32_t width = image.width;
    const size_t rowBytes = size_t(width) * 4;
    unsigned char* above = scratch;
    unsigned char* current = scratch + rowBytes;
    if (first == 0)
        std::memset(above, 0, rowBytes);
    else
        ArgbToRgba(image.pixels.data() + size_t(first - 1) * width, width, above);
    for (uint32_t y = first; y < last; ++y) {
        ArgbToRgba(image.pixels.data() + size_t(y) * width, width, current);
        out[0] = 2;  // Up
        for (size_t i = 0; i < rowBytes; ++i)
            out[1 + i] = static_cast<unsigned char>(current[i] - above[i]);
        out += rowBytes + 1;
        std::swap(above, current);
    }
}

// The share of the rows, in 1/64ths, that zlib compresses on a second thread while libdeflate
// compresses the rest on the calling one. zlib's fastest level takes about three times as long
// per byte as libdeflate's (measured on the benchmark's result); this share, with the filtering
// each side does for itself, makes the two end together. It is a constant, so the stream does
// not depend on the machine.
constexpr uint32_t kZlibShare64 = 17;

}  // namespace

uint32_t PngFirstPartRows(uint32_t height)
{
    return uint32_t(uint64_t(height) * kZlibShare64 / 64);
}

// The first rows of the stream through zlib: raw deflate blocks, none of them final, ending
// on a byte boundary (a sync flush) so that libdeflate's blocks can follow. The rows are
// filtered a band at a time into a small buffer, while it is still in the cache.
struct PngFirstPart::State {
    z_stream z{};
    bool begun = false;
    bool failed = false;
    uint32_t width = 0, height = 0, rows = 0, done = 0;
    std::unique_ptr<unsigned char[]> bytes, scratch, band;
    size_t bound = 0;
    uint32_t adler = 1;
    // The filtered rows after the part, [rows, restDone), for libdeflate.
    std::unique_ptr<unsigned char[]> rest;
    uint32_t restDone = 0;

    ~State()
    {
        if (begun)
            deflateEnd(&z);
    }
};

PngFirstPart::PngFirstPart() = default;
PngFirstPart::~PngFirstPart() = default;

bool PngFirstPart::Extend(const PixelImage& image, uint32_t last)
{
    constexpr uint32_t kBandRows = 16;
    if (!state_) {
        state_.reset(new (std::nothrow) State);
        if (!state_)
            return false;
    }
    State& s = *state_;
    const size_t rowBytes = size_t(image.width) * 4;
    if (!s.begun && !s.failed) {
        s.width = image.width;
        s.height = image.height;
        s.rows = PngFirstPartRows(image.height);
        const size_t bandBytes = (rowBytes + 1) * std::min(kBandRows, s.rows);
        s.scratch.reset(new (std::nothrow) unsigned char[rowBytes * 2]);
        s.band.reset(new (std::nothrow) unsigned char[std::max<size_t>(bandBytes, 1)]);
        s.begun = s.scratch && s.band &&
                  deflateInit2(&s.z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        if (s.begun) {
            // The bound of one deflate call, and the few bytes of the flush's empty block.
            s.bound = deflateBound(&s.z, uLong((rowBytes + 1) * s.rows)) + 16;
            s.bytes.reset(new (std::nothrow) unsigned char[s.bound]);
            s.z.next_out = s.bytes.get();
            s.z.avail_out = uInt(s.bound);
            s.adler = uint32_t(libdeflate_adler32(1, nullptr, 0));
        }
        s.failed = !s.begun || !s.bytes;
    }
    if (s.failed || image.width != s.width || image.height != s.height) {
        s.failed = true;
        return false;
    }
    last = std::min(last, s.rows);
    while (s.done < last) {
        const uint32_t first = s.done, end = std::min(last, first + kBandRows);
        FilterRowsUp(image, first, end, s.band.get(), s.scratch.get());
        const size_t length = (rowBytes + 1) * (end - first);
        s.adler = uint32_t(libdeflate_adler32(s.adler, s.band.get(), length));
        s.z.next_in = s.band.get();
        s.z.avail_in = uInt(length);
        const int flush = end == s.rows ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        if (deflate(&s.z, flush) != Z_OK || s.z.avail_in != 0 || s.z.avail_out == 0) {
            s.failed = true;
            return false;
        }
        s.done = end;
    }
    return true;
}

bool PngFirstPart::FilterRest(const PixelImage& image, uint32_t last)
{
    if (!state_ || state_->failed || state_->done != state_->rows || image.width != state_->width ||
        image.height != state_->height)
        return false;
    State& s = *state_;
    const size_t rowBytes = size_t(image.width) * 4;
    if (!s.rest) {
        const size_t restSize = (rowBytes + 1) * (s.height - s.rows);
        s.rest.reset(new (std::nothrow) unsigned char[restSize]);
        if (!s.rest)
            return false;
        AdviseHugePages(s.rest.get(), restSize);
        s.restDone = s.rows;
    }
    last = std::min(last, s.height);
    if (last > s.restDone) {
        FilterRowsUp(image, s.restDone, last, s.rest.get() + (rowBytes + 1) * (s.restDone - s.rows),
                     s.scratch.get());
        s.restDone = last;
    }
    return true;
}

bool PngFirstPart::Complete(const unsigned char*& bytes, size_t& size, uint32_t& adler) const
{
    if (!state_ || state_->failed || state_->done != state_->rows)
        return false;
    bytes = state_->bytes.get();
    size = state_->bound - state_->z.avail_out;
    adler = state_->adler;
    return true;
}

bool EncodePngConsuming(PixelImage& image, std::vector<unsigned char>& png, PngFirstPart* begun)
{
    png.clear();
    const uint32_t width = image.width, height = image.height;
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxImagePixels)
        return false;
    const size_t rowBytes = size_t(width) * 4;
    // One zlib stream in two parts compressed at once: rows [0, split) by zlib on a second
    // thread, the rest by libdeflate here, its final block ending the stream. The split depends
    // on the height alone; with no second thread the two parts are made one after the other.
    // A caller may have begun the first part already, with the rows it had.
    const uint32_t split = PngFirstPartRows(height);
    PngFirstPart own;
    PngFirstPart& first = begun ? *begun : own;
    const PixelImage& rows = image;
    bool firstOk = true;
    auto finishFirst = [&] { firstOk = first.Extend(rows, split); };
    std::thread zlibThread;
    if (split > 0) {
        try {
            zlibThread = std::thread(finishFirst);
        } catch (const std::system_error&) {
            finishFirst();
        }
    }

    const size_t restSize = (rowBytes + 1) * (height - split);
    // The rows after the first part, filtered; some may have been filtered already.
    uint32_t filteredTo = split;
    std::unique_ptr<unsigned char[]> filtered;
    if (begun && begun->state_ && begun->state_->rest) {
        filtered = std::move(begun->state_->rest);
        filteredTo = begun->state_->restDone;
    } else {
        filtered.reset(new (std::nothrow) unsigned char[restSize]);
        if (filtered)
            AdviseHugePages(filtered.get(), restSize);
    }
    std::unique_ptr<unsigned char[]> scratch(new (std::nothrow) unsigned char[rowBytes * 2]);
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(1), libdeflate_free_compressor);
    std::unique_ptr<unsigned char[]> deflated;
    size_t compressed = 0, bound = 0;
    uint32_t adler = 0;
    if (filtered && scratch && compressor) {
        FilterRowsUp(rows, filteredTo, height,
                     filtered.get() + (rowBytes + 1) * (filteredTo - split), scratch.get());
        adler = uint32_t(libdeflate_adler32(1, filtered.get(), restSize));
        // The compressor writes into memory left unfilled (zeroing all of the bound would cost
        // more than copying what it wrote).
        bound = libdeflate_deflate_compress_bound(compressor.get(), restSize);
        deflated.reset(new (std::nothrow) unsigned char[bound]);
        if (deflated) {
            AdviseHugePages(deflated.get(), bound);
            compressed = libdeflate_deflate_compress(compressor.get(), filtered.get(), restSize,
                                                     deflated.get(), bound);
        }
    }
    filtered.reset();
    if (zlibThread.joinable())
        zlibThread.join();
    const unsigned char* firstBytes = nullptr;
    size_t firstSize = 0;
    uint32_t firstAdler = 1;
    if (compressed == 0 ||
        (split > 0 && (!firstOk || !first.Complete(firstBytes, firstSize, firstAdler))))
        return false;
    image = PixelImage{};  // spent: its memory goes back before the PNG is put together
    if (split > 0)
        adler = uint32_t(adler32_combine(firstAdler, adler, z_off_t(restSize)));

    // One IDAT chunk holds it all: the filtered rows of the largest image, 2^29 bytes and a
    // filter byte per row, compress to less than a chunk's 2^31 - 1 byte limit.
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static const unsigned char kZlibHeader[2] = {0x78, 0x01};  // 32 KiB window, fastest
    constexpr size_t kIdatAt = 8 + 25;
    const size_t streamSize = 2 + firstSize + compressed + 4;
    const size_t iendAt = kIdatAt + 12 + streamSize;
    try {
        png.reserve(iendAt + 12);
        AdviseHugePages(png.data(), png.capacity());
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
    unsigned char* stream = p + kIdatAt + 8;
    std::memcpy(stream, kZlibHeader, 2);
    if (firstSize > 0)
        std::memcpy(stream + 2, firstBytes, firstSize);
    std::memcpy(stream + 2 + firstSize, deflated.get(), compressed);
    PutBigEndian32(stream + streamSize - 4, adler);
    FrameChunk(p + kIdatAt, "IDAT", uint32_t(streamSize));
    FrameChunk(p + iendAt, "IEND", 0);
    return true;
}
