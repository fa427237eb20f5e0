// GDI+ images and the ARGB pixels the warp reads: a source image copied once into them, a
// clipboard bitmap read straight into them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "mesh/editing.h"
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
