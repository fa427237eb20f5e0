// Painting of SourcePane and ResultPane, and the drawing operations they share. A painter
// is given what it draws and the device context to draw on; it changes nothing it is given.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "mesh/curves.h"
#include "mesh/editing.h"
#include "views/paint_layers.h"
#include "warp/pixel_buffer.h"

// What SourcePane shows: the image (none until a drop or a paste) scaled by the zoom, and
// the marked rectangle.
struct SourcePaintInput {
    Gdiplus::Bitmap* image = nullptr;
    SelectionRect selection;
    float zoom = 1.0f;
    uint32_t clearColor = 0;
};

// What ResultPane shows: the backdrop, the warp of the source's marked rectangle through
// the mesh, and the mesh itself, scaled by the zoom. The mesh's contentVersion tells the
// painter when what it composed below the overlays no longer shows the state; the overlays
// it compares with its own copy of the mesh it drew them for.
struct ResultPaintInput {
    const MeshEditState& mesh;
    const PixelImage& sourcePixels;
    Gdiplus::Bitmap* backdrop = nullptr;
    float zoom = 1.0f;
    uint32_t clearColor = 0;
};

// Each paints the whole client area of `pane` through `dc`, a context of the whole client.
void PaintSourcePane(HWND pane, HDC dc, const SourcePaintInput& in);
void PaintResultPane(HWND pane, HDC dc, const ResultPaintInput& in);
// The clear colour and the zoom label on the window, for a pane that gets no offscreen.
void PaintWithoutOffscreen(Gdiplus::Graphics& window, uint32_t clearColor, float zoom);
void DrawOutlinedText(Gdiplus::Graphics& graphics, const wchar_t* text, int32_t x, int32_t y);
// The labels' font ("Arial", else the generic sans serif), or null when neither gives one;
// a paint that draws many labels makes it once.
std::unique_ptr<Gdiplus::Font> MakeLabelFont();
void DrawOutlinedText(Gdiplus::Graphics& graphics, const Gdiplus::Font* font, const wchar_t* text,
                      int32_t x, int32_t y);
// Pixels that an outlined text drawn at (x, y) can reach, at the density of `graphics`.
PixelRect OutlinedTextReach(Gdiplus::Graphics& graphics, const Gdiplus::Font* font,
                            const wchar_t* text, int32_t x, int32_t y);
// Gives an offscreen bitmap the density of the display `window` is on, so that text sized in
// points comes out as large as points are there; sizes in pixels stay pixels.
void MatchWindowDpi(Gdiplus::Bitmap& offscreen, HWND window);
float WindowDpi(HWND window);  // 0 when unknown, and the library's own density applies
void MatchDpi(Gdiplus::Bitmap& offscreen, float dpi);
