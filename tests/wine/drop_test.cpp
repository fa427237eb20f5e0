// The drop handlers of SourcePane and ResultPane in-process: the program's windows are made
// here and their procedures get DROPFILES blocks allocated the way the shell does. Then
// MainWindow is moved to a display of another density, as the system tells it.
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

// Whether any window of this thread was sent a message while the wait cursor showed.
bool gWaitSeen = false;
LRESULT CALLBACK SeeCursor(int code, WPARAM wParam, LPARAM lParam)
{
    gWaitSeen |= GetCursor() == LoadCursorW(nullptr, IDC_WAIT);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

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

// The test's current folder (the case's output folder), with a trailing backslash.
std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring path(folder, n < MAX_PATH ? n : 0);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

bool CopyFirstHalf(const std::wstring& from, const std::wstring& to)
{
    HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> bytes(GetFileSize(in, nullptr));
    DWORD got = 0;
    bool ok = ReadFile(in, bytes.data(), DWORD(bytes.size()), &got, nullptr) && got > 16;
    CloseHandle(in);
    HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    ok = ok && WriteFile(out, bytes.data(), got / 2, &put, nullptr) && put == got / 2;
    CloseHandle(out);
    return ok;
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

    HWND main = StartInProcess();
    if (!main)
        return 1;
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    EditorState& e = gEditor;
    Expect(e.sourcePane && e.resultPane, "both panes recorded their handles");

    const Picture a = Decode(Fixture(L"drop_a.png"));
    const Picture c = Decode(Fixture(L"drop_c.png"));
    const Picture japanese = Decode(Fixture(L"画像ファイル.png"));
    Expect(!a.argb.empty() && !c.argb.empty() && !japanese.argb.empty(), "fixtures decode");
    std::vector<std::wstring> three = {Fixture(L"drop_a.png"), Fixture(L"drop_b.png"),
                                       Fixture(L"drop_c.png")};
    // Names that do not decode: not an image, the first half of a PNG, no file at all, and
    // no file under a name longer than 259 characters.
    const std::wstring folder = CurrentFolder();
    const std::wstring truncated = folder + L"truncated.png";
    Expect(CopyFirstHalf(Fixture(L"drop_c.png"), truncated), "a truncated PNG is written");
    const std::vector<std::wstring> undecodable = {Fixture(L"not_an_image.png"), truncated,
                                                   Fixture(L"no_such_file.png"),
                                                   gData + std::wstring(300, L'x') + L".png"};
    // drop_c.png again under a name of more than 259 characters, in folders of 120 each.
    std::wstring longName = folder + std::wstring(120, L'd');
    CreateDirectoryW((L"\\\\?\\" + longName).c_str(), nullptr);
    longName += L"\\" + std::wstring(120, L'e');
    CreateDirectoryW((L"\\\\?\\" + longName).c_str(), nullptr);
    longName += L"\\long.png";
    Expect(longName.size() > 259 &&
               CopyFileW(Fixture(L"drop_c.png").c_str(), (L"\\\\?\\" + longName).c_str(), FALSE),
           "drop_c.png is copied under a name longer than 259 characters");

    e.sourceSelection = SelectionRect{12, 34, 56, 78};
    ValidateRect(e.resultPane, nullptr);
    SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop(three, POINT{5, 6})), 0);
    Expect(GetUpdateRect(e.resultPane, nullptr, FALSE) != FALSE,
           "SourcePane: a drop repaints ResultPane too, whose warp is of the new source");
    Expect(SameAsPicture(e.sourceImage.get(), c),
           "SourcePane: of three dropped files the third stays");
    Expect(SamePixels(e.sourcePixels, c),
           "SourcePane: the warp's ARGB copy is the third file's pixels");
    Expect(e.sourceSelection == SelectionRect({12, 34, 56, 78}),
           "SourcePane: a drop keeps SourceSelection");

    std::vector<std::wstring> mixed = undecodable;
    mixed.insert(mixed.begin() + 1, Fixture(L"drop_a.png"));
    SendMessageW(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop(mixed, POINT{0, 0})), 0);
    Expect(SameAsPicture(e.sourceImage.get(), a) && SamePixels(e.sourcePixels, a),
           "SourcePane: among files that do not decode, the one that does stays");
    Gdiplus::Bitmap* kept = e.sourceImage.get();
    for (const std::wstring& name : undecodable) {
        SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop({name}, POINT{0, 0})), 0);
        Expect(e.sourceImage.get() == kept && SamePixels(e.sourcePixels, a),
               "SourcePane: a file that does not decode keeps the image and its ARGB copy");
    }
    SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop({}, POINT{0, 0})), 0);
    Expect(e.sourceImage.get() == kept, "SourcePane: a drop of no files changes nothing");
    SourcePaneProc(e.sourcePane, WM_DROPFILES,
                   WPARAM(MakeDrop({Fixture(L"画像ファイル.png")}, POINT{1, 1})), 0);
    Expect(SameAsPicture(e.sourceImage.get(), japanese) && SamePixels(e.sourcePixels, japanese),
           "SourcePane: a file with a Japanese name decodes");
    SourcePaneProc(e.sourcePane, WM_DROPFILES, WPARAM(MakeDrop({longName}, POINT{1, 1})), 0);
    Expect(SameAsPicture(e.sourceImage.get(), c) && SamePixels(e.sourcePixels, c),
           "SourcePane: a file named by more than 259 characters decodes");
    Pump();

    ResultPaneProc(e.resultPane, WM_DROPFILES, WPARAM(MakeDrop(three, POINT{5, 6})), 0);
    Expect(SameAsPicture(e.backdropImage.get(), c),
           "ResultPane: of three dropped files the third stays");
    SendMessageW(e.resultPane, WM_DROPFILES, WPARAM(MakeDrop(mixed, POINT{0, 0})), 0);
    Expect(SameAsPicture(e.backdropImage.get(), a),
           "ResultPane: among files that do not decode, the one that does stays");
    kept = e.backdropImage.get();
    ResultPaneProc(e.resultPane, WM_DROPFILES, WPARAM(MakeDrop(undecodable, POINT{0, 0})), 0);
    Expect(e.backdropImage.get() == kept && SameAsPicture(e.backdropImage.get(), a),
           "ResultPane: files that do not decode keep the backdrop");
    ResultPaneProc(e.resultPane, WM_DROPFILES,
                   WPARAM(MakeDrop({Fixture(L"画像ファイル.png")}, POINT{1, 1})), 0);
    Expect(SameAsPicture(e.backdropImage.get(), japanese),
           "ResultPane: a file with a Japanese name decodes");
    kept = e.backdropImage.get();
    ResultPaneProc(e.resultPane, WM_DROPFILES, WPARAM(MakeDrop({}, POINT{0, 0})), 0);
    Expect(e.backdropImage.get() == kept, "ResultPane: a drop of no files changes nothing");
    Expect(SameAsPicture(e.sourceImage.get(), c), "ResultPane drops leave SourceImage alone");

    // On a display of 144 DPI the system suggests a rectangle; MainWindow takes it.
    RECT suggested{40, 30, 40 + 900, 30 + 640};
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&suggested));
    RECT now{};
    GetWindowRect(main, &now);
    Expect(EqualRect(&now, &suggested), "MainWindow takes the rectangle of a density change");
    RECT client{};
    GetClientRect(e.resultPane, &client);
    Expect(client.right > 800, "the panes are laid out anew in it");

    // A scene dropped with an image: the image is the backdrop first, then the scene takes
    // the editor's place as one edit, which Z undoes and Y redoes, the images with it.
    HMENU menu = GetMenu(main);
    auto grey = [&](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    Expect(grey(32780) && grey(32781), "drops are no edits: undo and redo stay greyed");
    auto title = [&] {
        wchar_t text[256] = L"";
        GetWindowTextW(main, text, 256);
        return std::wstring(text);
    };
    Expect(title() == L"*vorlin", "but the dropped images are unsaved work: the title is marked");
    const std::wstring scenePath = Fixture(L"in process.scene.json");
    std::ofstream(std::filesystem::path(scenePath))
        << R"({"source": "drop_b.png", "columns": [[[5, 5], [6, 90]], [[60, 4], [61, 92]]],)"
        << R"( "rows": [[[0, 10], [70, 11]]], "actions": [{"family": "rows"}]})";
    // In Single layout the opening lays the panes out anew, which sends them messages.
    e.layoutMode = LayoutMode::Single;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, SeeCursor, nullptr, GetCurrentThreadId());
    ResultPaneProc(e.resultPane, WM_DROPFILES,
                   WPARAM(MakeDrop({Fixture(L"drop_a.png"), scenePath}, POINT{1, 1})), 0);
    UnhookWindowsHookEx(hook);
    Expect(gWaitSeen && GetCursor() != LoadCursorW(nullptr, IDC_WAIT),
           "the wait cursor shows while the scene opens, and only then");
    const CurveSet columns = {{{5, 5}, {6, 90}}, {{60, 4}, {61, 92}}};
    const Picture b = Decode(Fixture(L"drop_b.png"));
    Expect(SamePixels(e.sourcePixels, b) && SameAsPicture(e.sourceImage.get(), b) &&
               !e.backdropImage && e.columnCurves == columns && e.rowCurves.size() == 1 &&
               e.activeFamily == CurveFamily::Rows,
           "a dropped scene opens: its source, no backdrop, its curves and family");
    Expect(!grey(32780) && grey(32781), "after the opening undo is offered, redo is not");
    SendMessageW(main, WM_KEYDOWN, 'Z', 0);
    Expect(SameAsPicture(e.sourceImage.get(), c) && SamePixels(e.sourcePixels, c) &&
               SameAsPicture(e.backdropImage.get(), a) && e.columnCurves.empty() &&
               e.activeFamily == CurveFamily::Columns,
           "Z: the images, curves and family from before the scene, the dropped backdrop too");
    Expect(grey(32780) && !grey(32781), "after the undo redo is offered, undo is not");
    Expect(title() == L"*vorlin - in process.scene.json",
           "Z: the undone opening keeps the scene's name, marked unsaved");
    SendMessageW(main, WM_KEYDOWN, 'Y', 0);
    Expect(SamePixels(e.sourcePixels, b) && !e.backdropImage && e.columnCurves == columns,
           "Y: the scene again");
    Expect(title() == L"vorlin - in process.scene.json", "Y: the title as the opening left it");

    // The radio items of the family and the translucency follow keys, menu items and scenes.
    auto checked = [&](UINT id) {
        return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    Expect(checked(32789) && !checked(32788), "the scene's rows family is checked in the menu");
    SendMessageW(main, WM_KEYDOWN, 'H', 0);
    Expect(checked(32788) && !checked(32789), "H checks the columns item");
    SendMessageW(main, WM_COMMAND, 32789, 0);
    Expect(e.activeFamily == CurveFamily::Rows && checked(32789) && !checked(32788),
           "the rows item takes the rows family and is checked");
    Expect(checked(32792) && !checked(32791), "opaque is checked to begin with");
    SendMessageW(main, WM_KEYDOWN, '5', 0);
    Expect(checked(32791) && !checked(32792), "5 checks the translucent item");
    SendMessageW(main, WM_COMMAND, 32792, 0);
    Expect(checked(32792) && !(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_LAYERED),
           "the opaque item makes the window opaque and is checked");
    Expect(title() == L"vorlin - in process.scene.json", "family and translucency are no edits");
    return CloseAndReport(main);
}
