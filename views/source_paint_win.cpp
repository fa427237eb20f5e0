// SourcePane's painting: the image scaled by the pane's zoom, the marked rectangle and the
// zoom label.
#include "views/paint_win.h"
#include "views/view_math.h"

// Background, the image at (0, 0) scaled by sourceZoom, the red rectangle, the zoom label;
// composed offscreen and copied to the window one to one.
void PaintSourcePane(HWND pane, HDC dc, const SourcePaintInput& in)
{
    RECT client{};
    GetClientRect(pane, &client);
    Gdiplus::Graphics window(dc);

    // A hidden pane (0 x 0 in Single layout) gets no bitmap, and neither does one wider or
    // higher than an offscreen may be (the Splitter dragged far out); what shows of it is
    // cleared and labelled all the same.
    int32_t width = OffscreenSide(client.right, 1.0f);
    int32_t height = OffscreenSide(client.bottom, 1.0f);
    if (width == 0 || height == 0) {
        PaintWithoutOffscreen(window, in.clearColor, in.zoom);
        return;
    }
    Gdiplus::Bitmap offscreen(width, height, PixelFormat32bppARGB);
    if (offscreen.GetLastStatus() != Gdiplus::Ok) {
        PaintWithoutOffscreen(window, in.clearColor, in.zoom);
        return;
    }
    MatchWindowDpi(offscreen, pane);
    Gdiplus::Graphics graphics(&offscreen);
    graphics.Clear(Gdiplus::Color(in.clearColor));

    if (in.image) {
        UINT imageWidth = in.image->GetWidth();
        UINT imageHeight = in.image->GetHeight();
        Gdiplus::Rect destination(0, 0, ScaleLength(imageWidth, in.zoom),
                                  ScaleLength(imageHeight, in.zoom));
        graphics.DrawImage(in.image, destination, 0, 0, INT(imageWidth), INT(imageHeight),
                           Gdiplus::UnitPixel);
    }

    const SelectionRect& s = in.selection;
    if (s.width >= 0) {
        Gdiplus::Pen pen(Gdiplus::Color(0xFFFF0000), 3.0f);
        graphics.DrawRectangle(&pen, ScaleLength(s.x, in.zoom), ScaleLength(s.y, in.zoom),
                               ScaleLength(s.width, in.zoom), ScaleLength(s.height, in.zoom));
    }

    DrawOutlinedText(graphics, FormatZoomLabel(in.zoom).c_str(), 10, 10);

    window.DrawImage(&offscreen, Gdiplus::Rect(0, 0, width, height), 0, 0, width, height,
                     Gdiplus::UnitPixel);
}
