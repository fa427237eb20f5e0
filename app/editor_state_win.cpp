// The global editor state.
#include "app/editor_state.h"

EditorState gEditor;
