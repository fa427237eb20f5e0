// The one translation unit that compiles stb's image decoder from the installed headers, for
// the two formats it still serves: BMP and GIF (libspng and TurboJPEG take PNG and JPEG).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The decoder sizes its buffers from the header, but a hostile file can still ask for more
// than its pixels need. Every decoder allocation is held to a limit the caller derives from
// the header's size.
static thread_local size_t tDecodeAllocationLimit = SIZE_MAX;

void SetDecodeAllocationLimit(size_t bytes) { tDecodeAllocationLimit = bytes; }

static void* StbDecodeRealloc(void* p, size_t size)
{
    return size > tDecodeAllocationLimit ? nullptr : std::realloc(p, size);
}

// New blocks start zeroed, so no path through a broken file can read leftover heap bytes.
static void* StbDecodeMalloc(size_t size)
{
    return size > tDecodeAllocationLimit ? nullptr : std::calloc(1, size);
}

#define STBI_MALLOC(size) StbDecodeMalloc(size)
#define STBI_REALLOC(p, size) StbDecodeRealloc(p, size)
#define STBI_FREE(p) std::free(p)
#define STBI_ONLY_BMP
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
