// The warp result leaving the program (clipboard bitmap, PNG file) and a clipboard
// bitmap becoming SourceImage.
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

void PasteSourceFromClipboard(HWND owner);
void CopyResultToClipboard(HWND owner);
void SaveResultAsPng();

// The warp alone on a new transparent canvas-sized bitmap (canvas measured first); null
// when the canvas is too large for a bitmap or the bitmap cannot be made.
std::unique_ptr<Gdiplus::Bitmap> RenderResultBitmap(MeshEditState& e, const PixelImage& source);
// The class id of the first encoder whose MIME type is exactly `mimeType`.
bool FindEncoderClsid(const wchar_t* mimeType, CLSID& clsid);
