// Compares a rendered PNG with an expected one pixel by pixel (both decoded to RGBA by
// stb_image, a decoder apart from the renderer's own), or a grid JSON with an expected one as
// parsed values.
// Usage: compare_outputs png ACTUAL EXPECTED | compare_outputs json ACTUAL EXPECTED
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
// stb's PNG decoder compiled here; its warnings are not this file's.
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

bool ReadFile(const char* path, std::vector<unsigned char>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

struct Rgba {
    int width = 0;
    int height = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels{nullptr, stbi_image_free};
};

bool DecodePng(const char* path, Rgba& image)
{
    std::vector<unsigned char> bytes;
    if (!ReadFile(path, bytes)) {
        std::fprintf(stderr, "%s: cannot be read\n", path);
        return false;
    }
    int channels = 0;
    image.pixels.reset(stbi_load_from_memory(bytes.data(), int(bytes.size()), &image.width,
                                             &image.height, &channels, 4));
    if (!image.pixels) {
        std::fprintf(stderr, "%s: does not decode (%s)\n", path, stbi_failure_reason());
        return false;
    }
    return true;
}

int ComparePng(const char* actualPath, const char* expectedPath)
{
    Rgba actual, expected;
    if (!DecodePng(actualPath, actual) || !DecodePng(expectedPath, expected))
        return 2;
    if (actual.width != expected.width || actual.height != expected.height) {
        std::fprintf(stderr, "size %d x %d, expected %d x %d\n", actual.width, actual.height,
                     expected.width, expected.height);
        return 1;
    }
    int differing = 0;
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x) {
            const stbi_uc* a = actual.pixels.get() + (size_t(y) * actual.width + x) * 4;
            const stbi_uc* e = expected.pixels.get() + (size_t(y) * actual.width + x) * 4;
            if (a[0] == e[0] && a[1] == e[1] && a[2] == e[2] && a[3] == e[3])
                continue;
            if (differing < 10)
                std::fprintf(stderr, "pixel (%d, %d): RGBA %d %d %d %d, expected %d %d %d %d\n", x,
                             y, a[0], a[1], a[2], a[3], e[0], e[1], e[2], e[3]);
            ++differing;
        }
    if (differing) {
        std::fprintf(stderr, "%d of %d pixels differ\n", differing, actual.width * actual.height);
        return 1;
    }
    return 0;
}

int CompareJson(const char* actualPath, const char* expectedPath)
{
    std::vector<unsigned char> a, e;
    if (!ReadFile(actualPath, a) || !ReadFile(expectedPath, e)) {
        std::fprintf(stderr, "cannot read %s or %s\n", actualPath, expectedPath);
        return 2;
    }
    nlohmann::json actual, expected;
    try {
        actual = nlohmann::json::parse(a.begin(), a.end());
        expected = nlohmann::json::parse(e.begin(), e.end());
    } catch (const nlohmann::json::parse_error& ex) {
        std::fprintf(stderr, "%s\n", ex.what());
        return 2;
    }
    if (actual == expected)
        return 0;
    const std::string patch = nlohmann::json::diff(expected, actual).dump();
    std::fprintf(stderr, "grid differs (patch from expected to actual): %.2000s\n", patch.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "png")
        return ComparePng(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "json")
        return CompareJson(argv[2], argv[3]);
    std::fprintf(stderr, "usage: compare_outputs png|json ACTUAL EXPECTED\n");
    return 2;
}
