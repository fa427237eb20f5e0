// The one translation unit that compiles stb's image decoder and PNG encoder from the
// installed headers. Decoding is limited to the formats the desktop program reads too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

// The encoder does not check every allocation; failing loudly lets the caller report it.
static void* StbReallocOrThrow(void* p, size_t size)
{
    void* q = std::realloc(p, size);
    if (!q && size != 0)
        throw std::bad_alloc();
    return q;
}

#define STBIW_MALLOC(size) StbReallocOrThrow(nullptr, size)
#define STBIW_REALLOC(p, size) StbReallocOrThrow(p, size)
#define STBIW_FREE(p) std::free(p)
#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

// The decoder sizes its buffers from the header, but its inflater grows its output for as
// long as the compressed data goes on: a PNG of one pixel can inflate to gigabytes. Every
// decoder allocation is held to a limit the caller derives from the header's size.
static thread_local size_t tDecodeAllocationLimit = SIZE_MAX;

void SetDecodeAllocationLimit(size_t bytes) { tDecodeAllocationLimit = bytes; }

static void* StbDecodeRealloc(void* p, size_t size)
{
    return size > tDecodeAllocationLimit ? nullptr : std::realloc(p, size);
}

// New blocks start zeroed. A JPEG that uses a Huffman table it never defined makes the
// decoder read the table from its own uninitialised state; from zeroed memory that decodes
// as nothing, from leftover heap bytes it indexed far outside its arrays.
static void* StbDecodeMalloc(size_t size)
{
    return size > tDecodeAllocationLimit ? nullptr : std::calloc(1, size);
}

#define STBI_MALLOC(size) StbDecodeMalloc(size)
#define STBI_REALLOC(p, size) StbDecodeRealloc(p, size)
#define STBI_FREE(p) std::free(p)
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
