// The global editor state.
#include "app/editor_state.h"

#include <utility>

EditorState gEditor;

#include "warp/gdiplus_pixels_win.h"

void ReleaseEditorImages()
{
    gEditor.history.Clear();
    gEditor.sourceImage.reset();  // before the pixels it may draw from
    gEditor.sourcePixels = PixelImage{};
    gEditor.backdropImage.reset();
}

uint64_t NewImageSerial()
{
    static uint64_t last = 0;
    return ++last;
}

bool ReplacePaneImage(PaneImage which, std::unique_ptr<Gdiplus::Bitmap> image, PixelImage pixels)
{
    EditorState& e = gEditor;
    MarkContentChanged(e);
    if (which == PaneImage::Backdrop) {
        e.backdropImage = std::move(image);
        e.backdropSerial = NewImageSerial();
        return true;
    }
    // The warp's copy is made before anything is replaced: an image that cannot have one
    // leaves the source as it was. The old image goes before the pixels it may draw from.
    if (pixels.pixels.empty())
        pixels = CopyArgbPixels(image.get());
    if (pixels.pixels.empty())
        return false;
    e.sourceImage = std::move(image);
    e.sourcePixels = std::move(pixels);
    e.sourceSerial = NewImageSerial();
    return true;
}
