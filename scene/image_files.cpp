// File I/O of scenes and the headless renderer, and the choice of an image's decoder by its
// first bytes; stb_image decodes BMP and GIF.
#include "scene/image_files.h"
#include "scene/image_codecs.h"

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
    // Read in one piece when the size is known (a regular file), byte by byte otherwise.
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size <= bytes.max_size()) {
        bytes.resize(size_t(size));
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
        if (size_t(in.gcount()) == size && in.peek() == std::ifstream::traits_type::eof())
            return true;
        in.clear();
        in.seekg(0);
        if (!in)
            return false;
    }
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

// The size a PNG's header claims, read from its first chunk.
static bool PngHeaderSize(const unsigned char* data, size_t size, uint64_t& width, uint64_t& height)
{
    static const unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 24 || !std::equal(std::begin(kSignature), std::end(kSignature), data) ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    auto word = [&](size_t at) {
        return uint64_t(data[at]) << 24 | uint64_t(data[at + 1]) << 16 |
               uint64_t(data[at + 2]) << 8 | uint64_t(data[at + 3]);
    };
    width = word(16);
    height = word(20);
    return true;
}

std::string TooManyPixelsReason()
{
    return "too large: more than " + std::to_string(kMaxImagePixels) + " pixels";
}

ImageFormat SniffImage(const unsigned char* data, size_t size, uint64_t& width, uint64_t& height)
{
    width = height = 0;
    auto startsWith = [&](const char* magic, size_t length) {
        return size >= length && std::memcmp(data, magic, length) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n", 8)) {
        if (!PngHeaderSize(data, size, width, height))
            width = height = 0;
        return ImageFormat::Png;
    }
    if (startsWith("\xff\xd8\xff", 3)) {
        if (!JpegHeaderSize(data, size, width, height))
            width = height = 0;
        return ImageFormat::Jpeg;
    }
    const bool bmp = startsWith("BM", 2);
    if (!bmp && !startsWith("GIF87a", 6) && !startsWith("GIF89a", 6))
        return ImageFormat::Unknown;
    int w = 0, h = 0, channels = 0;
    if (size <= size_t(INT_MAX) && stbi_info_from_memory(data, int(size), &w, &h, &channels)) {
        // The header scan gives a top-down BMP's height as negative.
        width = uint64_t(w < 0 ? -int64_t(w) : w);
        height = uint64_t(h < 0 ? -int64_t(h) : h);
    }
    return bmp ? ImageFormat::Bmp : ImageFormat::Gif;
}

bool DecodeBmpOrGif(const unsigned char* data, size_t size, PixelImage& image, std::string& failure)
{
    image = PixelImage{};
    if (size > size_t(INT_MAX)) {
        failure = "file too large";
        return false;
    }
    const int length = int(size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
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
        failure = TooManyPixelsReason();
        return false;
    }
    // No buffer of a true decode exceeds 16-bit RGBA pixels plus a byte per row.
    SetDecodeAllocationLimit(size_t(8 * w * h + h + (1 << 20)));
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(data, length, &width, &height, &channels, 4), stbi_image_free);
    SetDecodeAllocationLimit(SIZE_MAX);
    if (!rgba) {
        failure = StbReason();
        return false;
    }
    if (!image.Allocate(uint32_t(width), uint32_t(height))) {
        failure = "out of memory";
        return false;
    }
    RgbaToArgb(rgba.get(), image.pixels.size(), image.pixels.data());
    return true;
}

bool DecodeImage(const std::vector<unsigned char>& bytes, PixelImage& image, std::string& failure,
                 DecodeWatch* watch)
{
    image = PixelImage{};
    uint64_t width = 0, height = 0;
    const ImageFormat format = SniffImage(bytes.data(), bytes.size(), width, height);
    // Refused from the header's claim alone, before a decoder works out sizes from it (the
    // PNG decoder's own check of a 2^31 x 2^31 header reports an overflow instead).
    if (width * height > kMaxImagePixels) {
        failure = TooManyPixelsReason();
        return false;
    }
    switch (format) {
    case ImageFormat::Png: return DecodePng(bytes.data(), bytes.size(), image, failure, watch);
    case ImageFormat::Jpeg: return DecodeJpeg(bytes.data(), bytes.size(), image, failure);
    case ImageFormat::Bmp:
    case ImageFormat::Gif: return DecodeBmpOrGif(bytes.data(), bytes.size(), image, failure);
    case ImageFormat::Unknown: break;
    }
    failure = bytes.empty() ? "empty file" : "not a PNG, JPEG, BMP or GIF file";
    return false;
}
