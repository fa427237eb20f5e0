// The warp result as a PNG file, and the library's encoder lookup.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "mesh/editing.h"
#include "warp/pixel_buffer.h"

// The class id of the first encoder whose MIME type is exactly `mimeType`.
bool FindEncoderClsid(const wchar_t* mimeType, CLSID& clsid);
// Renders the warp as for a copy, then asks for a file name and writes a PNG there; the
// file is replaced only by a complete one.
void SaveResultAsPng(MeshEditState& state, const PixelImage& source);
