// The program's one global record: the portable editing state plus images, layout, the
// panes' zoom, the Splitter's drag, window handles and clear colours. Every start value is
// written here.
// It holds GDI+ images and window handles, so unlike the portable headers it includes the
// Windows headers; only the window layer includes it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include <string>

#include "app/commands.h"
#include "app/layout.h"
#include "mesh/editing.h"
#include "mesh/edit_history.h"
#include "warp/pixel_buffer.h"

struct EditorState : MeshEditState {
    LayoutMode layoutMode = LayoutMode::Stacked;
    float sourceZoom = 1.0f;
    float resultZoom = 1.0f;
    // A pasted image draws from sourcePixels' memory: the two are replaced together, the
    // image first, through ReplacePaneImage.
    std::unique_ptr<Gdiplus::Bitmap> sourceImage;    // none until a drop or a paste
    PixelImage sourcePixels;                         // sourceImage as ARGB, empty when it has none
    std::unique_ptr<Gdiplus::Bitmap> backdropImage;  // none until a drop on ResultPane
    PixelImage clipboardPixels;  // the last copy, while the clipboard promises it
    Point splitterOrigin{0, 0};  // Splitter's corner in MainWindow client pixels at the press
    Point splitterPress{-1, 0};  // the press on the Splitter, in screen pixels
    // Where the Splitter drag's pointer was last seen, in screen pixels: a drag ended without
    // a release of its own ends there.
    Point splitterPointer{0, 0};
    EditHistory history;  // undo and redo; it keeps images a scene's opening replaced
    // Each image the panes are given gets a serial of its own (0: none), which stays with it
    // through undo and redo; with the history's position they tell unsaved work.
    uint64_t sourceSerial = 0;
    uint64_t backdropSerial = 0;
    SavedMark saved;         // as of the last scene opened or saved
    std::wstring scenePath;  // that scene's file, empty until one is opened or saved

    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HWND sourcePane = nullptr;
    HWND splitter = nullptr;
    HWND resultPane = nullptr;

    uint32_t mainClearColor = 0xFF000000;
    uint32_t sourceClearColor = 0xFF007F00;
    uint32_t resultClearColor = 0xFF000000;
};

extern EditorState gEditor;

// Drops SourceImage, its pixels, BackdropImage and the history that may hold earlier ones;
// they are GDI+ objects, so this runs before GDI+ is shut down.
void ReleaseEditorImages();

// The image each picture pane shows: SourceImage in SourcePane, BackdropImage in ResultPane.
enum class PaneImage { Source, Backdrop };
// A serial no image has had before.
uint64_t NewImageSerial();
// Makes `image` (a whole one) the pane's image, destroying the one it replaces. SourceImage
// comes with the ARGB pixels the warp reads (the image may draw from them), or is converted
// once into them when `pixels` is empty; when that conversion fails nothing changes (false).
// Nothing is repainted.
bool ReplacePaneImage(PaneImage which, std::unique_ptr<Gdiplus::Bitmap> image,
                      PixelImage pixels = {});
