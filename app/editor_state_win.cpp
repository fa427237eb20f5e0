// The global editor state.
#include "app/editor_state.h"

#include <utility>

EditorState gEditor;

#include "warp/gdiplus_pixels_win.h"

void ReleaseEditorImages()
{
    gEditor.sourcePixels = PixelImage{};
    gEditor.sourceImage.reset();
    gEditor.backdropImage.reset();
}

void ReplacePaneImage(PaneImage which, std::unique_ptr<Gdiplus::Bitmap> image)
{
    EditorState& e = gEditor;
    MarkContentChanged(e);
    if (which == PaneImage::Backdrop) {
        e.backdropImage = std::move(image);
        return;
    }
    e.sourcePixels = PixelImage{};
    e.sourceImage = std::move(image);
    e.sourcePixels = CopyArgbPixels(e.sourceImage.get());
}
