// What SourcePane and ResultPane do alike: take dropped image and scene files and zoom on
// the wheel.
#include <string>
#include <vector>

#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"
#include "warp/file_replace_win.h"
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

void OnPaneDropFiles(HWND pane, HDROP drop, PaneImage which)
{
    std::vector<std::wstring> names = DroppedFileNames(drop);
    DragFinish(drop);
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
    if (image)
        ReplacePaneImage(which, std::move(image));
    Repaint(pane);
    if (which == PaneImage::Source)
        Repaint(gEditor.resultPane);  // its warp is of the new source now
    if (!scenes.empty()) {
        EndPendingInteraction();  // a scene replaces the mesh a stroke or drag works on
        OpenDroppedScenes(scenes);
    }
}

void OnPaneMouseWheel(HWND pane, float& zoom, WPARAM wParam)
{
    zoom = ApplyWheelZoom(zoom, static_cast<uint32_t>(wParam));
    Repaint(pane);
}
