// The owning ARGB image: allocation that reports failure instead of throwing, and locks
// that hand out its words as a PixelBuffer.
#include "warp/pixel_buffer.h"

#include <climits>
#include <cstdint>
#include <new>
#include <stdexcept>

#ifdef __linux__
#include <sys/mman.h>
#endif

void AdviseHugePages(void* block, size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHugePage = uintptr_t(1) << 21;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
    if (block && end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

bool PixelImage::Allocate(uint32_t w, uint32_t h, uint32_t fill)
{
    // Both factors are below 2^32, so the product cannot wrap in 64 bits; the stride of a
    // lock is a signed 32-bit byte count, so wider rows could not be handed out at all.
    const uint64_t words = uint64_t(w) * h;
    std::vector<uint32_t> fresh;
    bool allocated = uint64_t(w) * 4 <= uint64_t(INT32_MAX) && words <= fresh.max_size();
    if (allocated) {
        try {
            fresh.reserve(static_cast<size_t>(words));
            AdviseHugePages(fresh.data(), fresh.capacity() * sizeof(uint32_t));
            fresh.assign(static_cast<size_t>(words), fill);
        } catch (const std::bad_alloc&) {
            allocated = false;
        } catch (const std::length_error&) {
            allocated = false;
        }
    }
    if (!allocated) {  // a failed allocation leaves an empty image, never a stale one
        std::vector<uint32_t>().swap(pixels);
        width = 0;
        height = 0;
        return false;
    }
    pixels.swap(fresh);
    width = w;
    height = h;
    return true;
}

PixelBuffer PixelImage::Lock()
{
    PixelBuffer buffer;
    if (width == 0 || height == 0 || pixels.size() != size_t(width) * height)
        return buffer;  // nothing to hand out: a failed lock
    buffer.width = width;
    buffer.height = height;
    buffer.stride = static_cast<int32_t>(width * 4);  // Allocate keeps this in range
    buffer.pixels = pixels.data();
    return buffer;
}

// The buffer of a const image is for reading only, as a read lock is.
PixelBuffer PixelImage::Lock() const { return const_cast<PixelImage*>(this)->Lock(); }
