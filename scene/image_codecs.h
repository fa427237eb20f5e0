// The image codecs under scene files and vorlin-render, one per format: PNG through libspng
// (decode) and libdeflate (encode), JPEG through TurboJPEG, BMP and GIF through stb_image.
// Every decoder delivers ARGB words, alpha<<24 | r<<16 | g<<8 | b, without colour management.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Each decoder fills `image` or leaves it empty and says why.
bool DecodePng(const unsigned char* data, size_t size, PixelImage& image, std::string& failure);
bool DecodeJpeg(const unsigned char* data, size_t size, PixelImage& image, std::string& failure);
bool DecodeBmpOrGif(const unsigned char* data, size_t size, PixelImage& image,
                    std::string& failure);
