// The warp over GDI+ bitmaps: a source image copied once into ARGB pixels (a clipboard
// bitmap read straight into them), and a target bitmap locked once per render.
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

// The whole image as 32-bit ARGB; empty when there is no image, it has no pixels or the
// lock or the allocation fails.
PixelImage CopyArgbPixels(Gdiplus::Bitmap* image);
// A 32-bit bitmap handle (the clipboard's device-dependent bitmap) read once into ARGB
// pixels, and an image that draws from those very pixels: they must outlive it. The pixels
// are those that an image made from the handle and CopyArgbPixels of it give. False, with
// neither touched, for any other depth or a failed read or allocation: the library's own
// conversion takes those.
bool ReadBitmapHandle(HBITMAP bitmap, PixelImage& pixels, std::unique_ptr<Gdiplus::Bitmap>& image);
// Locks the whole target for reading and writing and renders every cell of the grid into
// it; pixels outside the cells keep what the target held. A failed lock skips the warp.
void RenderWarpIntoBitmap(Gdiplus::Bitmap& target, const PixelImage& source,
                          const MeshEditState& e);
