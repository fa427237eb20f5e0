// The drop handlers of SourcePane and ResultPane in-process: the program's windows are made
// here and their procedures get DROPFILES blocks allocated the way the shell does.
//   vorlin_drop_test.exe DATA-FOLDER (Unix path, with the suite's fixture images)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shlobj.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/editor_state.h"
#include "app/windows_win.h"
#include "inprocess.h"
#include "scene/image_files.h"

namespace {

std::wstring gData;  // Windows path of the fixture folder, with a trailing backslash

std::wstring Fixture(const wchar_t* name) { return gData + name; }

// 0xAARRGGBB pixels of a fixture, decoded by stb_image, not by the GDI+ of the drop.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
};

Picture Decode(const std::wstring& path)
{
    Picture p;
    std::vector<unsigned char> bytes;
    PixelImage image;
    std::string failure;
    if (!ReadWholeFile(std::filesystem::path(path), bytes) || !DecodeImage(bytes, image, failure))
        return p;
    p.width = int(image.width);
    p.height = int(image.height);
    p.argb = std::move(image.pixels);
    return p;
}

// A shell-style drop: one moveable global block, DROPFILES then the wide names, each
// ended by a zero, and one more zero. The handler's DragFinish frees it.
HDROP MakeDrop(const std::vector<std::wstring>& names, POINT at)
{
    size_t chars = 1;
    for (const std::wstring& n : names)
        chars += n.size() + 1;
    HGLOBAL block =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->pt = at;
    header->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& n : names) {
        std::memcpy(out, n.c_str(), (n.size() + 1) * sizeof(wchar_t));
        out += n.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

bool SameAsPicture(Gdiplus::Bitmap* image, const Picture& want)
{
    if (!image || want.argb.empty() || image->GetWidth() != UINT(want.width) ||
        image->GetHeight() != UINT(want.height))
        return false;
    for (int y = 0; y < want.height; y += 7)
        for (int x = 0; x < want.width; x += 5) {
            Gdiplus::Color c;
            if (image->GetPixel(x, y, &c) != Gdiplus::Ok ||
                c.GetValue() != want.argb[size_t(y) * want.width + x])
                return false;
        }
    return true;
}

bool SamePixels(const PixelImage& pixels, const Picture& want)
{
    if (pixels.width != uint32_t(want.width) || pixels.height != uint32_t(want.height))
        return false;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            if (pixels.At(x, y) != want.argb[size_t(y) * want.width + x])
                return false;
    return true;
}

// An image that failed to decode: present, but with no size.
bool IsEmptyImage(Gdiplus::Bitmap* image)
{
    return image && image->GetWidth() == 0 && image->GetHeight() == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 2) {
        std::printf("usage: vorlin_drop_test DATA-FOLDER\n");
        return 2;
    }
    gData = std::wstring(L"Z:") + argv[1] + L"/";
    for (wchar_t& c : gData)
        if (c == L'/')
            c = L'\\';

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND main = CreateMainWindow(instance);
    Expect(main != nullptr, "MainWindow is created in-process");
    if (!main)
        return 1;
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    EditorState& e = gEditor;
    Expect(e.sourcePane && e.resultPane, "both panes recorded their handles");

    const Picture c = Decode(Fixture(L"drop_c.png"));
    const Picture japanese = Decode(Fixture(L"画像ファイル.png"));
    Expect(!c.argb.empty() && !japanese.argb.empty(), "fixtures decode");
    std::vector<std::wstring> three = {Fixture(L"drop_a.png"), Fixture(L"drop_b.png"),
                                       Fixture(L"drop_c.png")};
    std::wstring notImage = Fixture(L"not_an_image.png");
    // Longer than the handler's 260-character buffer: the name arrives cut and names no file.
    std::wstring tooLong = gData + std::wstring(300, L'x') + L".png";

    e.sourceSelection = SelectionRect{12, 34, 56, 78};
    SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop(three, POINT{5, 6})), 0);
    Expect(SameAsPicture(e.sourceImage.get(), c),
           "SourcePane: of three dropped files the third stays");
    Expect(SamePixels(e.sourcePixels, c),
           "SourcePane: the warp's ARGB copy is the third file's pixels");
    Expect(e.sourceSelection == SelectionRect({12, 34, 56, 78}),
           "SourcePane: a drop keeps SourceSelection");

    SendMessageW(e.sourcePane, WM_DROPFILES,
                 WPARAM(MakeDrop({Fixture(L"drop_c.png"), notImage}, POINT{0, 0})), 0);
    Expect(IsEmptyImage(e.sourceImage.get()),
           "SourcePane: an undecodable last file leaves an empty image");
    Expect(e.sourcePixels.width == 0 && e.sourcePixels.pixels.empty(),
           "SourcePane: an empty image leaves no ARGB copy for the warp");
    Gdiplus::Bitmap* kept = e.sourceImage.get();
    SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop({}, POINT{0, 0})), 0);
    Expect(e.sourceImage.get() == kept, "SourcePane: a drop of no files changes nothing");
    SourcePaneProc(e.sourcePane, WM_DROPFILES,
                   WPARAM(MakeDrop({Fixture(L"画像ファイル.png")}, POINT{1, 1})), 0);
    Expect(SameAsPicture(e.sourceImage.get(), japanese) && SamePixels(e.sourcePixels, japanese),
           "SourcePane: a file with a Japanese name decodes");
    SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop({tooLong}, POINT{1, 1})), 0);
    Expect(IsEmptyImage(e.sourceImage.get()),
           "SourcePane: a name longer than 259 characters leaves an empty image");
    Pump();

    ResultPaneProc(e.resultPane, WM_DROPFILES, WPARAM(MakeDrop(three, POINT{5, 6})), 0);
    Expect(SameAsPicture(e.backdropImage.get(), c),
           "ResultPane: of three dropped files the third stays");
    SendMessageW(e.resultPane, WM_DROPFILES,
                 WPARAM(MakeDrop({Fixture(L"drop_c.png"), notImage}, POINT{0, 0})), 0);
    Expect(IsEmptyImage(e.backdropImage.get()),
           "ResultPane: an undecodable last file leaves an empty image");
    ResultPaneProc(e.resultPane, WM_DROPFILES,
                   WPARAM(MakeDrop({Fixture(L"画像ファイル.png")}, POINT{1, 1})), 0);
    Expect(SameAsPicture(e.backdropImage.get(), japanese),
           "ResultPane: a file with a Japanese name decodes");
    kept = e.backdropImage.get();
    ResultPaneProc(e.resultPane, WM_DROPFILES, WPARAM(MakeDrop({}, POINT{0, 0})), 0);
    Expect(e.backdropImage.get() == kept, "ResultPane: a drop of no files changes nothing");
    Expect(SameAsPicture(e.sourceImage.get(), japanese) == false &&
               IsEmptyImage(e.sourceImage.get()),
           "ResultPane drops leave SourceImage alone");

    // A scene dropped with an image: the image is the backdrop first, then the scene takes
    // the editor's place as one edit, which Z undoes and Y redoes, the images with it.
    HMENU menu = GetMenu(main);
    auto grey = [&](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    Expect(grey(32780) && grey(32781), "drops are no edits: undo and redo stay greyed");
    const std::wstring scenePath = Fixture(L"in process.scene.json");
    std::ofstream(std::filesystem::path(scenePath))
        << R"({"source": "drop_c.png", "columns": [[[5, 5], [6, 90]], [[60, 4], [61, 92]]],)"
        << R"( "rows": [[[0, 10], [70, 11]]], "actions": [{"family": "rows"}]})";
    ResultPaneProc(e.resultPane, WM_DROPFILES,
                   WPARAM(MakeDrop({Fixture(L"drop_a.png"), scenePath}, POINT{1, 1})), 0);
    const CurveSet columns = {{{5, 5}, {6, 90}}, {{60, 4}, {61, 92}}};
    Expect(SamePixels(e.sourcePixels, c) && SameAsPicture(e.sourceImage.get(), c) &&
               !e.backdropImage && e.columnCurves == columns && e.rowCurves.size() == 1 &&
               e.activeFamily == CurveFamily::Rows,
           "a dropped scene opens: its source, no backdrop, its curves and family");
    Expect(!grey(32780) && grey(32781), "after the opening undo is offered, redo is not");
    SendMessageW(main, WM_KEYDOWN, 'Z', 0);
    const Picture a = Decode(Fixture(L"drop_a.png"));
    Expect(IsEmptyImage(e.sourceImage.get()) && e.sourcePixels.pixels.empty() &&
               SameAsPicture(e.backdropImage.get(), a) && e.columnCurves.empty() &&
               e.activeFamily == CurveFamily::Columns,
           "Z: the images, curves and family from before the scene, the dropped backdrop too");
    Expect(grey(32780) && !grey(32781), "after the undo redo is offered, undo is not");
    SendMessageW(main, WM_KEYDOWN, 'Y', 0);
    Expect(SamePixels(e.sourcePixels, c) && !e.backdropImage && e.columnCurves == columns,
           "Y: the scene again");
    return CloseAndReport(main);
}
