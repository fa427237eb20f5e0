// The image codecs under scene files and vorlin-render, one per format: PNG through libspng
// (decode) and libdeflate (encode), JPEG through TurboJPEG, BMP and GIF through stb_image.
// Every decoder delivers ARGB words, alpha<<24 | r<<16 | g<<8 | b, without colour management.
#pragma once

#include <condition_variable>
#include <memory>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "warp/pixel_buffer.h"

enum class ImageFormat { Unknown = 0, Png = 1, Jpeg = 2, Bmp = 3, Gif = 4 };

// The format its first bytes name, and the size its header claims (0 x 0 when the header
// cannot be read). Nothing is decoded.
ImageFormat SniffImage(const unsigned char* data, size_t size, uint64_t& width, uint64_t& height);
bool JpegHeaderSize(const unsigned char* data, size_t size, uint64_t& width, uint64_t& height);
// The reason given for an image above kMaxImagePixels.
std::string TooManyPixelsReason();

// ARGB words to and from 8-bit RGBA bytes (r, g, b, a in memory); either may work in place.
void ArgbToRgba(const uint32_t* words, size_t count, unsigned char* rgba);
void RgbaToArgb(const unsigned char* rgba, size_t count, uint32_t* words);

// A decode that another thread may follow: the decoder says where the image's words are once
// it has allocated them, and then, now and then, how many rows from the top are final. Those
// words stay where they are when the decoder hands the image over; when the decode fails, the
// decoder abandons the watch, which waits for the follower's reading to end before the words
// are freed. Decoders that cannot tell rows apart (interlaced PNG, the other formats) say
// nothing; the decode's caller ends the watch when the decoder has returned.
class DecodeWatch {
public:
    // The decoder's side.
    void Begin(const uint32_t* words, uint32_t width, uint32_t height);
    void RowsDone(uint32_t rows);
    void Abandon();
    // The caller's, once the decoder has returned.
    void End();
    // The follower's. Waits until the decoder has begun or the watch has ended; the image's
    // words and size, or null when it ended without beginning.
    const uint32_t* WaitForBegin(uint32_t& width, uint32_t& height);
    // Waits until `rows` rows are final: true, and the words may be read until EndReading;
    // false when the watch ended first (after an abandoned decode the words are gone).
    bool BeginReading(uint32_t rows);
    void EndReading();
    // Whether `rows` rows are final or the watch has ended, without waiting.
    bool RowsDoneOrEnded(uint32_t rows);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    const uint32_t* words_ = nullptr;
    uint32_t width_ = 0, height_ = 0, rows_ = 0;
    bool ended_ = false;
    bool reading_ = false;
};

// Each decoder fills `image` or leaves it empty and says why.
bool DecodePng(const unsigned char* data, size_t size, PixelImage& image, std::string& failure,
               DecodeWatch* watch = nullptr);
bool DecodeJpeg(const unsigned char* data, size_t size, PixelImage& image, std::string& failure);
bool DecodeBmpOrGif(const unsigned char* data, size_t size, PixelImage& image,
                    std::string& failure);

// The PNG encoder's stream is made of two parts compressed at once: the first
// PngFirstPartRows(height) rows, filtered and compressed by zlib (raw deflate ending on a
// byte boundary), then the rest by libdeflate, its last block ending the stream. A caller
// that has the image's first rows before the others (vorlin-render warping behind a decode)
// can compress them early through a PngFirstPart and hand it to EncodePngConsuming; the
// bytes are the same either way.
uint32_t PngFirstPartRows(uint32_t height);

class PngFirstPart {
public:
    PngFirstPart();
    ~PngFirstPart();
    PngFirstPart(const PngFirstPart&) = delete;
    PngFirstPart& operator=(const PngFirstPart&) = delete;
    // Compresses the part's rows below `last` that are not yet, from the image of the final
    // size whose rows above `last` are final. One thread at a time. False when out of memory.
    bool Extend(const PixelImage& image, uint32_t last);
    // Once the part is complete, filters the rows after it below `last` that are not yet,
    // for the encoder's second part. False when out of memory.
    bool FilterRest(const PixelImage& image, uint32_t last);
    // The compressed part and the adler32 sum of its filtered rows, once all its rows are in.
    bool Complete(const unsigned char*& bytes, size_t& size, uint32_t& adler) const;

private:
    friend bool EncodePngConsuming(PixelImage& image, std::vector<unsigned char>& png,
                                   PngFirstPart* begun);
    struct State;
    std::unique_ptr<State> state_;
};
