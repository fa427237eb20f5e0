// Key and menu tables of MainWindow's command layer.
#include "app/commands.h"

Command CommandForKey(uint32_t virtualKey)
{
    // Only the main keyboard's digits and letters: the keypad digits (0x60, 0x65) and the
    // full stop (0xBE) fall through to None.
    switch (virtualKey) {
    case 0x0D: return Command::CopyResult;  // Enter
    case 0x2E: return Command::ClearMesh;   // Delete
    case 0x30: return Command::TranslucencyOff;
    case 0x35: return Command::TranslucencyOn;
    case 0x43: return Command::CopyResult;  // C
    case 0x48: return Command::ColumnsFamily;
    case 0x4D: return Command::SaveScene;  // M
    case 0x4F: return Command::OpenScene;  // O
    case 0x50: return Command::CycleLayout;
    case 0x53: return Command::SaveResult;
    case 0x54: return Command::RowsFamily;
    case 0x56: return Command::PasteSource;
    case 0x57: return Command::RefineMesh;  // W
    case 0x58: return Command::RefineMesh;  // X
    case 0x59: return Command::Redo;        // Y
    case 0x5A: return Command::Undo;        // Z
    }
    return Command::None;
}

Command CommandForMenuId(uint32_t id)
{
    switch (id) {
    case VORLIN_CMD_ABOUT: return Command::About;
    case VORLIN_CMD_EXIT: return Command::Exit;
    case VORLIN_CMD_COPY: return Command::CopyResult;
    case VORLIN_CMD_PASTE: return Command::PasteSource;
    case VORLIN_CMD_UNDO: return Command::Undo;
    case VORLIN_CMD_REDO: return Command::Redo;
    case VORLIN_CMD_OPEN_SCENE: return Command::OpenScene;
    case VORLIN_CMD_SAVE_SCENE: return Command::SaveScene;
    }
    return Command::None;
}

// A stroke or node drag under way would leave such a command a mesh one curve short, or a
// node half moved; H and T need no end, since a stroke keeps the family it began in.
bool CommandUsesMesh(Command command)
{
    switch (command) {
    case Command::CopyResult:
    case Command::ClearMesh:
    case Command::SaveResult:
    case Command::RefineMesh:
    case Command::Undo:
    case Command::Redo:
    case Command::OpenScene:
    case Command::SaveScene: return true;
    case Command::None:
    case Command::TranslucencyOff:
    case Command::TranslucencyOn:
    case Command::ColumnsFamily:
    case Command::CycleLayout:
    case Command::RowsFamily:
    case Command::PasteSource:
    case Command::About:
    case Command::Exit: return false;
    }
    return false;
}
