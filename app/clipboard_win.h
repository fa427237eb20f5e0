// The clipboard: a picture pasted in, the warp result copied out as promised formats, and
// MainWindow's answers to the clipboard's requests for what it promised.
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
// The clipboard's image, opened for `owner`: the first bitmap format it lists (a packed
// bitmap block read as it is where its form allows, else the bitmap), or when it holds
// none, its "PNG". No image when it holds neither or the one there does not convert.
PastedImage PasteImageFromClipboard(HWND owner);

// Renders the warp of `state` from `source` on a new canvas and promises it on the
// clipboard, opened for `owner`, as a CF_DIB and a "PNG". Returns the rendered pixels the
// promises stand on, which the caller keeps until the clipboard lets them go; empty when
// nothing was promised. A canvas that cannot be made, or a clipboard another program holds
// open, leaves the clipboard as it was.
PixelImage CopyResultToClipboard(HWND owner, MeshEditState& state, const PixelImage& source);
// Keep the promises: `pixels` as the CF_DIB block (a transparent pixel black with a fourth
// byte of 0), or as a PNG with the unwarped pixels transparent, set on the clipboard, which
// must be open already (as for WM_RENDERFORMAT).
void PutDibOnClipboard(const PixelImage& pixels);
void PutPngOnClipboard(const PixelImage& pixels);

// The commands V and C (and Enter) for MainWindow: the clipboard's picture becomes
// SourceImage, and the warp result is promised on the clipboard, its pixels kept in the
// editor while the clipboard promises them.
void PasteSource(HWND main);
void CopyResult(HWND main);
// The clipboard's requests to MainWindow, the owner of a copy: make a promised format now,
// make both before the window goes, and let the copy's pixels go.
void OnMainRenderFormat(UINT format);
void OnMainRenderAllFormats(HWND main);
void OnMainDestroyClipboard();
