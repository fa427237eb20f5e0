// Locked 32-bit ARGB pixels, laid out like the platform's lock record, and an owning image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr uint32_t kPixelFormat32bppARGB = 0x26200A;

// Pixel (x, y) is the word at x + y * stride / 4 from `pixels`; bits 24-31 alpha, then
// red, green, blue. A buffer whose pixels are null is a failed lock: nothing may be read
// from or written through it.
struct PixelBuffer {
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t stride = 0;  // bytes, positive, multiple of 4
    uint32_t pixelFormat = kPixelFormat32bppARGB;
    void* pixels = nullptr;
    uintptr_t reserved = 0;

    uint32_t* Row(uint32_t y) const
    {
        return reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(pixels) +
                                           static_cast<ptrdiff_t>(y) * stride);
    }
};

// Asks that a large block of fresh memory, about to be written through, be backed by huge
// pages where the system gives them on request (Linux's transparent huge pages): a 50 MB image
// then costs a few dozen page faults instead of twelve thousand. Only advice; the contents and
// every result stay the same, and elsewhere it does nothing.
void AdviseHugePages(void* block, size_t bytes);

// A tightly packed ARGB image that owns its pixels.
struct PixelImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;

    // false when width * height words cannot be allocated (the image stays empty)
    bool Allocate(uint32_t w, uint32_t h, uint32_t fill = 0);
    PixelBuffer Lock();  // a failed lock when the image is empty
    PixelBuffer Lock() const;
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};
