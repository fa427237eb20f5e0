// What SourcePane and ResultPane do alike: take dropped image and scene files and zoom on
// the wheel.
#include <string>
#include <vector>

#include "app/editor_state.h"
#include "app/scoped_win.h"
#include "app/windows_win.h"

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
    // Each file is decoded in turn and the last one stays; one that does not decode gives
    // an empty image that draws nothing.
    std::unique_ptr<Gdiplus::Bitmap> image;
    for (const std::wstring& name : names) {
        image.reset();
        image.reset(new Gdiplus::Bitmap(name.c_str()));
    }
    if (!names.empty())
        ReplacePaneImage(which, std::move(image));
    Repaint(pane);
    if (!scenes.empty())
        OpenDroppedScenes(scenes);
}

void OnPaneMouseWheel(HWND pane, float& zoom, WPARAM wParam)
{
    zoom = ApplyWheelZoom(zoom, static_cast<uint32_t>(wParam));
    Repaint(pane);
}
