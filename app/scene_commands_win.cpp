// Scenes opened and saved: the window layer's side of scene/, which reads and writes the
// files. Here are the dialogs, the message boxes, the GDI+ images and the repaints.
#include "app/editor_state.h"  // first: the Windows headers

#include <commdlg.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/edit_steps_win.h"
#include "app/file_dialogs_win.h"
#include "app/handles_win.h"
#include "app/windows_win.h"
#include "scene/image_files.h"
#include "scene/scene_file.h"
#include "scene/scene_save.h"
#include "warp/gdiplus_pixels_win.h"

namespace {

std::wstring WideFromUtf8(const std::string& utf8)
{
    // Invalid sequences (a refused file's own bytes, quoted) become replacement characters.
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), length);
    return wide;
}

// An image that draws nothing and reports a size of 0, as an undecodable dropped file gives.
std::unique_ptr<Gdiplus::Bitmap> EmptyImage()
{
    return std::make_unique<Gdiplus::Bitmap>(static_cast<HBITMAP>(nullptr),
                                             static_cast<HPALETTE>(nullptr));
}

// A 32-bit ARGB bitmap holding exactly these pixels; an empty image when it cannot be made.
std::unique_ptr<Gdiplus::Bitmap> BitmapOf(const PixelImage& pixels)
{
    if (pixels.pixels.empty() || pixels.width > INT32_MAX || pixels.height > INT32_MAX)
        return EmptyImage();
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(INT(pixels.width), INT(pixels.height),
                                                    PixelFormat32bppARGB);
    Gdiplus::Rect whole(0, 0, INT(pixels.width), INT(pixels.height));
    Gdiplus::BitmapData data{};
    if (bitmap->GetLastStatus() != Gdiplus::Ok ||
        bitmap->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
            Gdiplus::Ok)
        return EmptyImage();
    for (uint32_t y = 0; y < pixels.height; ++y)
        std::memcpy(static_cast<unsigned char*>(data.Scan0) + ptrdiff_t(y) * data.Stride,
                    &pixels.pixels[size_t(y) * pixels.width], size_t(pixels.width) * 4);
    bitmap->UnlockBits(&data);
    return bitmap;
}

// A scene made ready to take the editor's place: its replayed state and its images, decoded
// as vorlin-render decodes them, so that the warp reads the same pixels.
struct OpenedScene {
    MeshEditState state;
    std::unique_ptr<HeldImages> images;
    std::vector<std::string> unreadable;  // vorlin-render's warnings, one per image
};

OpenedScene Prepare(const Scene& scene, const std::filesystem::path& path)
{
    OpenedScene opened;
    std::vector<std::string> warnings;  // a refinement the memory refused is left out, silently
    ReplayScene(scene, opened.state, warnings);
    auto images = std::make_unique<PaneImages>();
    const std::filesystem::path folder = path.parent_path();
    auto load = [&](const std::optional<std::string>& name, const char* key) {
        std::string warning;
        PixelImage pixels = LoadSceneImage(SceneImagePath(folder, *name), key, warning);
        if (!warning.empty())
            opened.unreadable.push_back(warning);
        return pixels;
    };
    if (scene.source) {
        images->sourcePixels = load(scene.source, "source");
        images->source = BitmapOf(images->sourcePixels);
        if (images->source->GetLastStatus() != Gdiplus::Ok)
            images->sourcePixels = PixelImage{};  // what the warp reads of an empty image
    }
    if (scene.backdrop)
        images->backdrop = BitmapOf(load(scene.backdrop, "backdrop"));
    opened.images = std::move(images);
    return opened;
}

// One undoable edit that replaces source, backdrop, selection, curves, grid and family.
// The images are new ones, whatever they hold.
void TakeScene(OpenedScene& opened)
{
    EditorState& e = gEditor;
    auto& images = static_cast<PaneImages&>(*opened.images);
    images.sourceSerial = images.source ? NewImageSerial() : 0;
    images.backdropSerial = images.backdrop ? NewImageSerial() : 0;
    ExchangeImages(opened.images);  // the only step that can fail, and it changes nothing then
    e.history.Begin(EditKind::Scene, e);
    e.sourceSelection = opened.state.sourceSelection;
    e.columnCurves.swap(opened.state.columnCurves);
    e.rowCurves.swap(opened.state.rowCurves);
    e.nodeGrid.swap(opened.state.nodeGrid);
    e.activeFamily = opened.state.activeFamily;
    MarkContentChanged(e);
    e.history.Commit(e, std::move(opened.images));
    RefreshMenuAndTitle();
    ShowStep(EditKind::Scene);
}

std::string Utf8(const std::wstring& wide)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

bool ReadScene(HWND main, const std::wstring& path, Scene& scene)
{
    std::string refusal;
    try {
        if (ReadSceneFile(std::filesystem::path(path), Utf8(path), scene, refusal))
            return true;
    } catch (const std::system_error&) {  // a name that has no UTF-8 form
        refusal = Utf8(path) + ": cannot be read";
    }
    AskMessageBox(main, WideFromUtf8(refusal).c_str(), kSceneCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

void OpenScene(HWND main, const Scene& scene, const std::wstring& path)
{
    OpenedScene opened;
    {
        ScopedWaitCursor wait;  // the images are read and decoded
        try {
            opened = Prepare(scene, std::filesystem::path(path));
        } catch (const std::system_error&) {  // an image name that has no UTF-8 form: no change
            return;
        }
        TakeScene(opened);
        MarkSaved(path);  // the opening itself stays undoable
    }
    if (opened.unreadable.empty())
        return;
    std::string text;
    for (const std::string& line : opened.unreadable)
        text += (text.empty() ? "" : "\n") + line;
    AskMessageBox(main, WideFromUtf8(text).c_str(), kSceneCaption, MB_OK | MB_ICONEXCLAMATION);
}

// The scene dialogs, owned by MainWindow; an empty name when cancelled. No default
// extension: it cannot hold the two dots of .scene.json, which is added after.
std::wstring AskSceneFile(HWND main, bool save)
{
    FileDialog dialog;
    dialog.owner = main;
    dialog.save = save;
    dialog.filter = L"vorlin シーン (*.scene.json)\0*.scene.json\0なんでも (*.*)\0*.*\0\0";
    dialog.flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    return AskFileName(dialog);
}

}  // namespace

void OpenSceneWithDialog(HWND main)
{
    std::wstring path = AskSceneFile(main, false);
    Scene scene;
    if (!path.empty() && ReadScene(main, path, scene))
        OpenScene(main, scene, path);
}

// SourceImage as the warp reads it and BackdropImage as ARGB; a failure leaves the scene
// file that was there, or none, as it was, and is not reported.
bool SaveSceneWithDialog(HWND main)
{
    std::wstring path = AskSceneFile(main, true);
    if (path.empty())
        return false;
    EditorState& e = gEditor;
    bool saved = false;
    std::filesystem::path written;
    {
        ScopedWaitCursor wait;  // the images are encoded and written
        const PixelImage backdrop = CopyArgbPixels(e.backdropImage.get());
        try {
            written = SceneSavePath(std::filesystem::path(path));
            saved = SaveSceneFiles(written, e, e.sourcePixels, backdrop);
        } catch (const std::system_error&) {  // a name that has no UTF-8 form: nothing written
        }
    }
    if (saved)
        MarkSaved(written.wstring());
    return saved;
}

bool MayClose(HWND main)
{
    if (ProgramDialogOpen()) {
        ShowProgramDialog();
        return false;
    }
    EndPendingInteraction();  // a stroke or drag under way is an edit too
    if (!HasUnsavedWork())
        return true;
    switch (AskMessageBox(main, kCloseQuestion, kCloseCaption, MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES: return SaveSceneWithDialog(main);
    case IDNO: return true;
    default: return false;  // Cancel, or the box could not be shown
    }
}

bool IsSceneFileName(const std::wstring& name)
{
    return name.size() >= 5 &&
           CompareStringOrdinal(name.c_str() + name.size() - 5, 5, L".json", 5, TRUE) == CSTR_EQUAL;
}

// Each scene is read in turn, and each one refused says so; the last that reads is opened.
void OpenDroppedScenes(const std::vector<std::wstring>& paths)
{
    HWND main = gEditor.mainWindow;
    std::optional<Scene> last;
    std::wstring lastPath;
    for (const std::wstring& path : paths) {
        Scene scene;
        if (ReadScene(main, path, scene)) {
            last = std::move(scene);
            lastPath = path;
        }
    }
    if (last)
        OpenScene(main, *last, lastPath);
}
