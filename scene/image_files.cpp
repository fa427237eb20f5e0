// Image and file I/O of scenes and the headless renderer over stb_image and stb_image_write.
#include "scene/image_files.h"

#include "scene/file_replace.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <system_error>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

std::filesystem::path PathFromUtf8(const std::string& utf8)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return std::filesystem::path(utf8);  // file names are bytes here
#endif
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
#ifdef _WIN32
    std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
#else
    return path.string();
#endif
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFileThrough(const std::filesystem::path& path,
                      const std::function<void(std::ostream&)>& write)
{
    // The whole content is made first; the shared helper then puts it in the place of an
    // earlier file only once all of it is written.
    std::ostringstream out;
    write(out);
    const std::string text = std::move(out).str();
    return ReplaceFileWithBytes(path, text.data(), text.size());
}

bool WriteWholeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    return ReplaceFileWithBytes(path, bytes.data(), bytes.size());
}

// stb's reason, or a general one where stb left none or an unprintable one (an unknown PNG
// chunk is named by its four bytes, which may be zero).
static std::string StbReason()
{
    const char* why = stbi_failure_reason();
    std::string reason = why ? why : "";
    bool printable = !reason.empty();
    for (char c : reason)
        printable = printable && static_cast<unsigned char>(c) >= 0x20;
    return printable ? reason : "corrupt or unsupported image";
}

// In stb_impl.cpp: the largest single allocation the decoder may make from now on.
void SetDecodeAllocationLimit(size_t bytes);

// The size a PNG's header claims. stb refuses a PNG of more than 2^30 bytes of pixels while
// scanning its header, and then goes on to try the other formats, so its reason ends as
// "unknown image type"; the claim itself gives the true one.
static bool PngHeaderSize(const std::vector<unsigned char>& bytes, uint64_t& width,
                          uint64_t& height)
{
    static const unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 24 ||
        !std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin()) ||
        std::memcmp(&bytes[12], "IHDR", 4) != 0)
        return false;
    auto word = [&](size_t at) {
        return uint64_t(bytes[at]) << 24 | uint64_t(bytes[at + 1]) << 16 |
               uint64_t(bytes[at + 2]) << 8 | uint64_t(bytes[at + 3]);
    };
    width = word(16);
    height = word(20);
    return true;
}

static std::string TooManyPixels()
{
    return "too large: more than " + std::to_string(kMaxImagePixels) + " pixels";
}

bool DecodeImage(const std::vector<unsigned char>& bytes, PixelImage& image, std::string& failure)
{
    image = PixelImage{};
    if (bytes.size() > size_t(INT_MAX)) {
        failure = "file too large";
        return false;
    }
    const int length = int(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels)) {
        uint64_t claimedWidth = 0, claimedHeight = 0;
        if (PngHeaderSize(bytes, claimedWidth, claimedHeight) &&
            claimedWidth * claimedHeight > kMaxImagePixels)
            failure = TooManyPixels();
        else
            failure = StbReason();
        return false;
    }
    // The header scan gives a top-down BMP's height as negative.
    const uint64_t w = uint64_t(width < 0 ? -int64_t(width) : width);
    const uint64_t h = uint64_t(height < 0 ? -int64_t(height) : height);
    if (w == 0 || h == 0) {
        failure = "no pixels";
        return false;
    }
    if (w * h > kMaxImagePixels) {
        failure = TooManyPixels();
        return false;
    }
    // No buffer of a true decode exceeds 16-bit RGBA pixels plus a filter byte per row.
    SetDecodeAllocationLimit(size_t(8 * w * h + h + (1 << 20)));
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 4),
        stbi_image_free);
    SetDecodeAllocationLimit(SIZE_MAX);
    if (!rgba) {
        failure = StbReason();
        return false;
    }
    if (!image.Allocate(uint32_t(width), uint32_t(height))) {
        failure = "out of memory";
        return false;
    }
    const stbi_uc* p = rgba.get();
    for (uint32_t& word : image.pixels) {
        word = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
        p += 4;
    }
    return true;
}

static void AppendToVector(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool EncodePngConsuming(PixelImage& image, std::vector<unsigned char>& png)
{
    png.clear();
    if (image.width == 0 || image.height == 0 ||
        uint64_t(image.width) * image.height > kMaxImagePixels)
        return false;
    // Each word becomes the bytes r, g, b, a at its own place, whatever the byte order.
    auto* bytes = reinterpret_cast<unsigned char*>(image.pixels.data());
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t argb = image.pixels[i];
        bytes[i * 4 + 0] = static_cast<unsigned char>(argb >> 16);
        bytes[i * 4 + 1] = static_cast<unsigned char>(argb >> 8);
        bytes[i * 4 + 2] = static_cast<unsigned char>(argb);
        bytes[i * 4 + 3] = static_cast<unsigned char>(argb >> 24);
    }
    // Every row through the Paeth filter rather than the encoder trying all five on each:
    // on the benchmark's 12-megapixel result about a tenth less time and a smaller file.
    stbi_write_force_png_filter = 4;
    try {
        return stbi_write_png_to_func(AppendToVector, &png, int(image.width), int(image.height), 4,
                                      bytes, int(image.width) * 4) != 0;
    } catch (const std::bad_alloc&) {
        png.clear();
        return false;
    }
}
