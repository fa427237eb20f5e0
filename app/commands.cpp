// The command table of MainWindow's command layer, and what is made from it: the key and menu
// lookups, the menu's key hints, the keys help, and the title.
#include "app/commands.h"

namespace {

// In the menu's order. Enter, Delete and F1 by their codes (0x0D, 0x2E, 0x70); the letters and
// digits are the main keyboard's (the keypad's 0x60 and 0x65 are other codes).
constexpr CommandEntry kCommands[] = {
    {Command::OpenSource, VORLIN_CMD_OPEN_SOURCE, {}, L"", L"ソース画像を開く (メニュー)"},
    {Command::OpenBackdrop, VORLIN_CMD_OPEN_BACKDROP, {}, L"", L"背景画像を開く (メニュー)"},
    {Command::OpenScene, VORLIN_CMD_OPEN_SCENE, {'O'}, L"", L"シーンを開く"},
    {Command::SaveScene,
     VORLIN_CMD_SAVE_SCENE,
     {'M'},
     L"",
     L"シーンを保存 (画像はその横に PNG で)"},
    {Command::SaveResult, VORLIN_CMD_SAVE_PNG, {'S'}, L"", L"結果を PNG ファイルに保存"},
    {Command::Exit, VORLIN_CMD_EXIT, {}, L"Alt+F4", L"終了 (保存されていない変更があれば確認)"},
    {Command::Undo, VORLIN_CMD_UNDO, {'Z'}, L"", L"元に戻す (Ctrl+Z、Ctrl+Shift+Z でも)"},
    {Command::Redo, VORLIN_CMD_REDO, {'Y'}, L"", L"やり直し (Ctrl+Y でも)"},
    {Command::PasteSource, VORLIN_CMD_PASTE, {'V'}, L"", L"クリップボードの画像をソースへペースト"},
    {Command::CopyResult, VORLIN_CMD_COPY, {'C', 0x0D}, L"", L"結果をクリップボードへコピー"},
    {Command::RefineMesh, VORLIN_CMD_REFINE, {'W', 'X'}, L"", L"メッシュを細かくする"},
    {Command::ClearMesh, VORLIN_CMD_CLEAR, {0x2E}, L"", L"メッシュを消去"},
    {Command::ColumnsFamily, VORLIN_CMD_COLUMNS, {'H'}, L"", L"次の曲線は列 (縦) の曲線"},
    {Command::RowsFamily, VORLIN_CMD_ROWS, {'T'}, L"", L"次の曲線は行 (横) の曲線"},
    {Command::CycleLayout,
     VORLIN_CMD_LAYOUT,
     {'P'},
     L"",
     L"レイアウトの切り替え (上下、一枚、左右)"},
    {Command::TranslucencyOn, VORLIN_CMD_TRANSLUCENT, {'5'}, L"", L"半透明 (黒は透ける)"},
    {Command::TranslucencyOff, VORLIN_CMD_OPAQUE, {'0'}, L"", L"不透明"},
    {Command::KeysHelp, VORLIN_CMD_KEYS_HELP, {0x70}, L"", L"この一覧"},
    {Command::About, VORLIN_CMD_ABOUT, {}, L"Alt+?", L"バージョン情報 (Alt+/ でも)"},
};

// What the mouse does, pane by pane.
constexpr const wchar_t* kMouseHelp[][2] = {
    {L"ソース: 左ドラッグ", L"ワープする範囲を選ぶ"},
    {L"結果: 左ドラッグ", L"曲線を描く (H で列、T で行)"},
    {L"結果: 右ドラッグ", L"節点を動かす"},
    {L"結果: ラベルを右クリック", L"その曲線を消す"},
    {L"ホイール", L"ポインタの下の画面を拡大・縮小"},
    {L"境界をドラッグ", L"二つの画面の大きさを変える"},
    {L"ファイルをドロップ", L"その画面の画像を開く (.json はシーンとして開く)"},
};

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

std::wstring KeyName(uint32_t virtualKey)
{
    switch (virtualKey) {
    case 0x0D: return L"Enter";
    case 0x2E: return L"Del";
    case 0x70: return L"F1";
    }
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
        return std::wstring(1, wchar_t(virtualKey));
    return std::wstring();
}

std::wstring KeyHint(const CommandEntry& entry)
{
    std::wstring hint;
    for (uint32_t key : entry.keys) {
        if (key == 0)
            break;
        hint += (hint.empty() ? L"" : L", ") + KeyName(key);
    }
    return hint.empty() ? std::wstring(entry.otherKeys) : hint;
}

// Lines end in CR LF, the edit control's line break; a tab parts a key from its line.
std::wstring KeysHelpText()
{
    std::wstring text = L"キー\r\n";
    for (const CommandEntry& entry : kCommands) {
        const std::wstring hint = KeyHint(entry);
        if (!hint.empty())
            text += hint + L"\t" + entry.help + L"\r\n";
    }
    text += L"\r\nマウス\r\n";
    for (const auto& line : kMouseHelp)
        text += std::wstring(line[0]) + L"\t" + line[1] + L"\r\n";
    return text;
}

// Modifiers and repeat state are not looked at.
Command CommandForKey(uint32_t virtualKey)
{
    for (const CommandEntry& entry : kCommands)
        for (uint32_t key : entry.keys)
            if (key != 0 && key == virtualKey)
                return entry.command;
    return Command::None;
}

Command CommandForMenuId(uint32_t id)
{
    for (const CommandEntry& entry : kCommands)
        if (entry.menuId != 0 && entry.menuId == id)
            return entry.command;
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
    case Command::Exit:
    case Command::OpenSource:
    case Command::OpenBackdrop:
    case Command::KeysHelp: return false;
    }
    return false;
}

std::wstring MainWindowTitle(const std::wstring& scenePath, bool unsaved)
{
    std::wstring title = unsaved ? L"*vorlin" : L"vorlin";
    if (scenePath.empty())
        return title;
    const size_t slash = scenePath.find_last_of(L"\\/");
    return title + L" - " + (slash == std::wstring::npos ? scenePath : scenePath.substr(slash + 1));
}
