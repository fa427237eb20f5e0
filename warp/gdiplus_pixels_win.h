// GDI+ images and the ARGB pixels the warp reads: a source image copied once into them, a
// clipboard bitmap read straight into them, and images that draw from such pixels.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "warp/pixel_buffer.h"

// Whether a new image came out whole: it exists, no call on it has failed, it has pixels,
// and its bottom row can be read (a decoder that works on demand reads the whole file for
// it, so a truncated file shows here rather than after the image has replaced another).
bool IsWholeImage(Gdiplus::Bitmap* image);
// The whole image as 32-bit ARGB; empty when there is no image, it has no pixels or the
// lock or the allocation fails.
PixelImage CopyArgbPixels(Gdiplus::Bitmap* image);
// A 32-bit bitmap handle (the clipboard's device-dependent bitmap) read once into ARGB
// pixels, and an image that draws from those very pixels: they must outlive it. The pixels
// are those that an image made from the handle and CopyArgbPixels of it give. False, with
// neither touched, for any other depth or a failed read or allocation: the library's own
// conversion takes those.
bool ReadBitmapHandle(HBITMAP bitmap, PixelImage& pixels, std::unique_ptr<Gdiplus::Bitmap>& image);
// A bitmap drawing from, and onto, width x height packed 32-bit words of `format`, which it
// neither copies nor frees: it must not outlive them.
Gdiplus::Bitmap BitmapOverWords(uint32_t* words, uint32_t width, uint32_t height,
                                Gdiplus::PixelFormat format = PixelFormat32bppARGB);
// The same as a new image, for keeping beside the pixels it draws from (a move of them keeps
// their memory); null when the library cannot make it.
std::unique_ptr<Gdiplus::Bitmap> ImageOverPixels(PixelImage& pixels, Gdiplus::PixelFormat format);
// The header of a 32-bit BI_RGB device-independent bitmap, top row first.
BITMAPINFO TopDownInfo32(int32_t width, int32_t height);
