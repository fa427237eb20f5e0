// Painting of SourcePane and ResultPane, and the drawing operations they share.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>

#include "mesh/curves.h"

void PaintSourcePane(HWND pane);
void PaintResultPane(HWND pane);
// The clear colour and the zoom label on the window, for a pane that gets no offscreen.
void PaintWithoutOffscreen(Gdiplus::Graphics& window, uint32_t clearColor, float zoom);
void DrawCurves(Gdiplus::Graphics& graphics, const CurveSet& set, uint32_t color, bool labels,
                float penWidth);
void DrawCurvePoints(Gdiplus::Graphics& graphics, const CurveSet& set);
void DrawOutlinedText(Gdiplus::Graphics& graphics, const wchar_t* text, int32_t x, int32_t y);
// Gives an offscreen bitmap the density of the display `window` is on, so that text sized in
// points comes out as large as points are there; sizes in pixels stay pixels.
void MatchWindowDpi(Gdiplus::Bitmap& offscreen, HWND window);
