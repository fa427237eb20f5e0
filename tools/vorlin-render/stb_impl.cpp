// The one translation unit that compiles stb's image decoder and PNG encoder from the
// installed headers. Decoding is limited to the formats the desktop program reads too.
#include <cstddef>
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

#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
