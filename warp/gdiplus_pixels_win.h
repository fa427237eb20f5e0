// The warp over GDI+ bitmaps: a source image copied once into ARGB pixels, and a target
// bitmap locked once per render.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "mesh/editing.h"
#include "warp/pixel_buffer.h"

// Whether a new image came out whole: it exists, no call on it has failed, it has pixels,
// and its bottom row can be read (a decoder that works on demand reads the whole file for
// it, so a truncated file shows here rather than after the image has replaced another).
bool IsWholeImage(Gdiplus::Bitmap* image);
// The whole image as 32-bit ARGB; empty when there is no image, it has no pixels or the
// lock or the allocation fails.
PixelImage CopyArgbPixels(Gdiplus::Bitmap* image);
// Locks the whole target for reading and writing and renders every cell of the grid into
// it; pixels outside the cells keep what the target held. A failed lock, or nothing marked,
// skips the warp.
void RenderWarpIntoBitmap(Gdiplus::Bitmap& target, const PixelImage& source,
                          const MeshEditState& e);
