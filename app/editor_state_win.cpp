// The global editor state.
#include "app/editor_state.h"

EditorState gEditor;

void ReleaseEditorImages()
{
    gEditor.sourcePixels = PixelImage{};
    gEditor.sourceImage.reset();
    gEditor.backdropImage.reset();
}
