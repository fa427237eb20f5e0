// Files in and out of scenes and the headless renderer: whole-file reads and writes, image
// decoding into 32-bit ARGB words through stb_image, and 8-bit RGBA PNG encoding through
// stb_image_write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "warp/pixel_buffer.h"

class DecodeWatch;  // scene/image_codecs.h

// Largest image, source or result, that the tool holds: 2^27 pixels, 512 MiB of ARGB words.
inline constexpr uint64_t kMaxImagePixels = uint64_t(1) << 27;

// A path from a UTF-8 string (command-line arguments and scene strings are UTF-8).
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

bool ReadWholeFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes);
// Writes the bytes into a file of that name, replacing an earlier one only once they are all
// written; on failure an earlier file stays as it was and nothing else is left behind.
bool WriteWholeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);
// The same for text that `write` streams out, so it need not be held in memory whole.
bool WriteFileThrough(const std::filesystem::path& path,
                      const std::function<void(std::ostream&)>& write);

// PNG, BMP, JPEG or GIF (first frame) as ARGB words, alpha<<24 | r<<16 | g<<8 | b, without
// colour management; false with stb's reason when the bytes do not decode.
// A PNG without interlacing tells `watch` of its rows as they are decoded.
bool DecodeImage(const std::vector<unsigned char>& bytes, PixelImage& image, std::string& failure,
                 DecodeWatch* watch = nullptr);

// The image as an 8-bit RGBA PNG. The pixels are turned into RGBA bytes in place, so the
// image is spent afterwards. False when the encoder runs out of memory.
// `begun`, if given, holds the first part of the stream as far as a caller has compressed it
// (PngFirstPart); the encoder finishes it.
class PngFirstPart;
bool EncodePngConsuming(PixelImage& image, std::vector<unsigned char>& png,
                        PngFirstPart* begun = nullptr);
