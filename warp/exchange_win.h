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

// What a paste found on the clipboard.
struct ClipboardPaste {
    bool found = false;  // false: the clipboard held no bitmap, and nothing is to change
    // The bitmap's pixels in a new image: an empty image (one that draws nothing) when
    // the conversion failed, null when not even the image object could be had.
    std::unique_ptr<Gdiplus::Bitmap> image;
    // The same as ARGB pixels when the bitmap was read into both at once; empty otherwise.
    PixelImage pixels;
};
ClipboardPaste PasteBitmapFromClipboard(HWND owner);

// Renders the warp of `state` from `source` on a new canvas and puts it on the clipboard,
// opened for `owner`, as a CF_DIB. A canvas that cannot be made leaves the clipboard alone.
void CopyResultToClipboard(HWND owner, MeshEditState& state, const PixelImage& source);
// Renders the warp as for a copy, then asks for a file name and writes a PNG there.
void SaveResultAsPng(MeshEditState& state, const PixelImage& source);

// The warp alone on a new transparent canvas-sized bitmap (canvas measured first); null
// when the canvas is too large for a bitmap or the bitmap cannot be made.
std::unique_ptr<Gdiplus::Bitmap> RenderResultBitmap(MeshEditState& state, const PixelImage& source);
// The class id of the first encoder whose MIME type is exactly `mimeType`.
bool FindEncoderClsid(const wchar_t* mimeType, CLSID& clsid);
