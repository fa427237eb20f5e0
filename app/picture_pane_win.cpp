// What SourcePane and ResultPane do alike: creation and destruction, painting through their
// painters, keys sent on to MainWindow, the wheel zooming the pane, a lost capture ending the
// pane's interaction, and image and scene files, dropped or chosen in the open dialog.
#include "app/editor_state.h"  // first: the Windows headers

#include <commdlg.h>

#include <string>
#include <vector>

#include "app/file_dialogs_win.h"
#include "app/handles_win.h"
#include "app/pane_input.h"
#include "app/windows_win.h"
#include "scene/file_replace_win.h"
#include "warp/gdiplus_pixels_win.h"

// Every name of the drop, each read at its own length. An empty name names no file: some
// systems count one in a drop that has none.
static std::vector<std::wstring> DroppedFileNames(HDROP drop)
{
    std::vector<std::wstring> names;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0)
            continue;
        std::wstring name(length + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
        names.push_back(std::move(name));
    }
    return names;
}

// The scene files of a drop, taken out of `names`, which keeps the images.
static std::vector<std::wstring> TakeSceneNames(std::vector<std::wstring>& names)
{
    std::vector<std::wstring> scenes;
    for (auto it = names.begin(); it != names.end();) {
        if (IsSceneFileName(*it)) {
            scenes.push_back(std::move(*it));
            it = names.erase(it);
        } else {
            ++it;
        }
    }
    return scenes;
}

void OpenPaneFiles(HWND pane, PaneImage which, std::vector<std::wstring> names)
{
    std::vector<std::wstring> scenes = TakeSceneNames(names);
    // Each file is decoded in turn and the last one that decodes stays; when none does, the
    // pane keeps the image it had. A name too long for the plain form is opened through the
    // long one.
    std::unique_ptr<Gdiplus::Bitmap> image;
    for (const std::wstring& name : names) {
        std::unique_ptr<Gdiplus::Bitmap> decoded(new Gdiplus::Bitmap(LongPathForm(name).c_str()));
        if (IsWholeImage(decoded.get()))
            image = std::move(decoded);
    }
    if (image && ReplacePaneImage(which, std::move(image)))
        RefreshMenuAndTitle();  // a new image is unsaved work
    Repaint(pane);
    if (which == PaneImage::Source)
        Repaint(gEditor.resultPane);  // its warp is of the new source now
    if (!scenes.empty()) {
        EndPendingInteraction();  // a scene replaces the mesh a stroke or drag works on
        OpenDroppedScenes(scenes);
    }
}

static void OnPaneDropFiles(HWND pane, HDROP drop, PaneImage which)
{
    std::vector<std::wstring> names = DroppedFileNames(drop);
    DragFinish(drop);
    OpenPaneFiles(pane, which, std::move(names));
}

// The picture types GDI+ decodes, all of them first, then each, then any file (a .json file
// chosen here opens as a scene, as a dropped one does).
static constexpr wchar_t kImageFilter[] =
    L"画像 (PNG, JPEG, BMP, GIF, TIFF)\0*.png;*.jpg;*.jpeg;*.jpe;*.bmp;*.dib;*.gif;*.tif;*.tiff\0"
    L"PNG (*.png)\0*.png\0"
    L"JPEG (*.jpg;*.jpeg)\0*.jpg;*.jpeg;*.jpe\0"
    L"BMP (*.bmp)\0*.bmp;*.dib\0"
    L"GIF (*.gif)\0*.gif\0"
    L"TIFF (*.tif;*.tiff)\0*.tif;*.tiff\0"
    L"なんでも (*.*)\0*.*\0\0";

void OpenImageWithDialog(HWND main, PaneImage which)
{
    FileDialog dialog;
    dialog.owner = main;
    dialog.filter = kImageFilter;
    dialog.flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    const std::wstring path = AskFileName(dialog);
    if (path.empty())
        return;
    EditorState& e = gEditor;
    OpenPaneFiles(which == PaneImage::Source ? e.sourcePane : e.resultPane, which, {path});
}

bool HandlePicturePaneMessage(const PicturePane& pane, HWND hwnd, UINT msg, WPARAM wParam,
                              LPARAM lParam, LRESULT& result)
{
    EditorState& e = gEditor;
    result = 0;
    switch (msg) {
    case WM_CREATE:
        DragAcceptFiles(hwnd, TRUE);
        e.*pane.handle = hwnd;
        return true;
    case WM_DESTROY: PostQuitMessage(0); return true;
    case WM_PAINT: {
        ScopedPaint paint(hwnd);
        ScopedGetDC dc(hwnd);  // the whole client area, whatever the update region
        pane.paint(hwnd, dc);
        return true;
    }
    case WM_ERASEBKGND: result = 1; return true;  // painting covers every pixel
    case WM_KEYDOWN: SendMessageW(e.mainWindow, WM_KEYDOWN, wParam, lParam); return true;
    case WM_MOUSEWHEEL:
        e.*pane.zoom = ApplyWheelZoom(e.*pane.zoom, static_cast<uint32_t>(wParam));
        Repaint(hwnd);
        return true;
    case WM_CAPTURECHANGED:
        if (IsCaptureLoss(hwnd, reinterpret_cast<HWND>(lParam)))
            pane.endInteraction(hwnd);
        return true;
    case WM_CANCELMODE:
        if (IsCaptureLoss(hwnd, nullptr))
            pane.endInteraction(hwnd);
        result = DefWindowProcW(hwnd, msg, wParam, lParam);  // the default handling too
        return true;
    case WM_DROPFILES:
        OnPaneDropFiles(hwnd, reinterpret_cast<HDROP>(wParam), pane.image);
        return true;
    }
    return false;
}
