// The warp result leaving the program (clipboard bitmap, PNG file) and a clipboard bitmap
// coming in. Each function works on what it is given and returns what it made; storing an
// image and repainting are the caller's.
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

// The registered clipboard format "PNG", in which other programs exchange images that keep
// their transparency.
UINT PngClipboardFormat();
// What a paste found on the clipboard: a new image of its own and, when it was read straight
// into them (a 32-bit bitmap, a "PNG"), the ARGB pixels the warp reads, which the image then
// draws from; empty pixels when the library converted some other bitmap into the image.
struct PastedImage {
    std::unique_ptr<Gdiplus::Bitmap> image;  // null: nothing is to change
    PixelImage pixels;
};
// The clipboard's image, opened for `owner`: its bitmap, or when it holds none, its "PNG".
// No image when it holds neither or the one there does not convert.
PastedImage PasteImageFromClipboard(HWND owner);

// Renders the warp of `state` from `source` on a new canvas and puts it on the clipboard,
// opened for `owner`, as a CF_DIB, and promises a "PNG" of it. Returns the rendered pixels
// the promise stands on, which the caller keeps until the clipboard lets them go; empty when
// nothing was promised. A canvas that cannot be made leaves the clipboard alone.
PixelImage CopyResultToClipboard(HWND owner, MeshEditState& state, const PixelImage& source);
// Keeps the promise: `pixels` as a PNG, the unwarped pixels transparent, set as the
// clipboard's "PNG". The clipboard must be open already (as for WM_RENDERFORMAT).
void PutPngOnClipboard(const PixelImage& pixels);
// Renders the warp as for a copy, then asks for a file name and writes a PNG there.
void SaveResultAsPng(MeshEditState& state, const PixelImage& source);

// What the copy and the save export: the warp alone on a transparent canvas-sized image
// (canvas measured first, nothing warped while nothing is marked); empty when the canvas is
// too large for a bitmap or its memory cannot be had.
PixelImage RenderResultPixels(MeshEditState& state, const PixelImage& source);
// The class id of the first encoder whose MIME type is exactly `mimeType`.
bool FindEncoderClsid(const wchar_t* mimeType, CLSID& clsid);
