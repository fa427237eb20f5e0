// The global editor state.
#include "app/editor_state.h"

#include <utility>

EditorState gEditor;

#include "warp/gdiplus_pixels_win.h"

void ReleaseEditorImages()
{
    gEditor.sourceImage.reset();  // before the pixels it may draw from
    gEditor.sourcePixels = PixelImage{};
    gEditor.backdropImage.reset();
}

void ReplacePaneImage(PaneImage which, std::unique_ptr<Gdiplus::Bitmap> image, PixelImage pixels)
{
    EditorState& e = gEditor;
    MarkContentChanged(e);
    if (which == PaneImage::Backdrop) {
        e.backdropImage = std::move(image);
        return;
    }
    e.sourceImage.reset();  // before the pixels it may draw from
    e.sourcePixels = PixelImage{};
    e.sourceImage = std::move(image);
    e.sourcePixels =
        pixels.pixels.empty() ? CopyArgbPixels(e.sourceImage.get()) : std::move(pixels);
}
