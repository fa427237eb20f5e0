// Black "Arial" text with a one-pixel white halo, for curve indices and zoom labels.
#include "views/paint_win.h"

#include <cwchar>
#include <memory>

// "Arial" when installed, else the platform's generic sans serif, which is fetched once
// and kept for the life of the process (the GDI+ wrapper caches it). Null when neither
// gives a font.
static std::unique_ptr<Gdiplus::Font> MakeLabelFont()
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
    Gdiplus::Font* labelFont = font ? font.get() : nullptr;
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

void MatchWindowDpi(Gdiplus::Bitmap& offscreen, HWND window)
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
    if (dpi != 0)
        offscreen.SetResolution(Gdiplus::REAL(dpi), Gdiplus::REAL(dpi));
}
