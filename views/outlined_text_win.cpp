// Black "Arial" text with a one-pixel white halo, for curve indices and zoom labels.
#include "views/paint_win.h"

#include <cwchar>
#include <memory>

#include "mesh/int_math.h"

// "Arial" when installed, else the platform's generic sans serif, which is fetched once
// and kept for the life of the process (the GDI+ wrapper caches it). Null when neither
// gives a font.
std::unique_ptr<Gdiplus::Font> MakeLabelFont()
{
    const Gdiplus::FontFamily* generic = nullptr;
    std::unique_ptr<Gdiplus::Font> font;
    {
        Gdiplus::FontFamily arial(L"Arial");
        const Gdiplus::FontFamily* family = &arial;
        if (arial.GetLastStatus() != Gdiplus::Ok) {
            generic = Gdiplus::FontFamily::GenericSansSerif();
            family = generic;
        }
        if (!family)
            return nullptr;
        font.reset(new Gdiplus::Font(family, 16.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint));
    }  // the family is released as soon as the font exists
    if (font && font->GetLastStatus() == Gdiplus::Ok)
        return font;
    if (!generic)
        generic = Gdiplus::FontFamily::GenericSansSerif();
    if (!generic)
        return nullptr;
    font.reset(new Gdiplus::Font(generic, 16.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint));
    return font;
}

void DrawOutlinedText(Gdiplus::Graphics& graphics, const wchar_t* text, int32_t x, int32_t y)
{
    std::unique_ptr<Gdiplus::Font> font = MakeLabelFont();
    DrawOutlinedText(graphics, font.get(), text, x, y);
}

void DrawOutlinedText(Gdiplus::Graphics& graphics, const Gdiplus::Font* labelFont,
                      const wchar_t* text, int32_t x, int32_t y)
{
    INT length = static_cast<INT>(std::wcslen(text));
    // A missing font still goes through the draw calls, which then fail with their status
    // recorded on the graphics; nothing of the label appears.
    Gdiplus::SolidBrush halo(Gdiplus::Color(0xFFFFFFFF));
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            Gdiplus::PointF origin(static_cast<float>(x) + static_cast<float>(dx),
                                   static_cast<float>(y) + static_cast<float>(dy));
            graphics.DrawString(text, length, labelFont, origin, &halo);
        }
    }
    Gdiplus::SolidBrush ink(Gdiplus::Color(0xFF000000));
    graphics.DrawString(text, length, labelFont,
                        Gdiplus::PointF(static_cast<float>(x), static_cast<float>(y)), &ink);
}

// The box the library lays the text out in, with the halo and a margin of four pixels for
// glyphs reaching past it; empty without a font or when the measure fails.
PixelRect OutlinedTextReach(Gdiplus::Graphics& graphics, const Gdiplus::Font* labelFont,
                            const wchar_t* text, int32_t x, int32_t y)
{
    if (!labelFont)
        return {};
    Gdiplus::RectF box;
    if (graphics.MeasureString(text, static_cast<INT>(std::wcslen(text)), labelFont,
                               Gdiplus::PointF(0.0f, 0.0f), &box) != Gdiplus::Ok ||
        !(box.Width >= 0.0f && box.Width < 1e6f && box.Height >= 0.0f && box.Height < 1e6f))
        return {};
    const int64_t margin = 5;  // the halo's pixel and four more
    const int64_t left = int64_t(TruncateFloatToInt32(box.X)) - margin;
    const int64_t top = int64_t(TruncateFloatToInt32(box.Y)) - margin;
    const int64_t right = int64_t(TruncateFloatToInt32(box.X + box.Width)) + margin + 1;
    const int64_t bottom = int64_t(TruncateFloatToInt32(box.Y + box.Height)) + margin + 1;
    return PixelRect{SaturateToInt32(left + x), SaturateToInt32(top + y),
                     SaturateToInt32(right + x), SaturateToInt32(bottom + y)};
}

float WindowDpi(HWND window)
{
    // Looked up at run time: systems before the per-monitor densities lack it, and there
    // the screen's density is the one that applies.
    using DpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = dpiForWindow ? dpiForWindow(window) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? UINT(GetDeviceCaps(screen, LOGPIXELSY)) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    return float(dpi);
}

void MatchWindowDpi(Gdiplus::Bitmap& offscreen, HWND window)
{
    MatchDpi(offscreen, WindowDpi(window));
}

void MatchDpi(Gdiplus::Bitmap& offscreen, float dpi)
{
    if (dpi != 0.0f)
        offscreen.SetResolution(Gdiplus::REAL(dpi), Gdiplus::REAL(dpi));
}
