// Cases of the clipboard and PNG exchange: whole scenes replayed in the program and their
// exports compared with the headless renderer's, and the exchange's edge cases and keys.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "cases.h"

static bool WriteTextFile(const std::string& unixPath, const std::string& text)
{
    HANDLE file = CreateFileW(WinPath(unixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
              written == text.size();
    CloseHandle(file);
    return ok;
}

// The names of the files a pattern (a Unix path with wildcards in its last part) matches,
// separated by spaces.
static std::string FilesMatching(const std::string& pattern)
{
    std::string names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WinPath(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names += Narrow(found.cFileName) + " ";
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// replay SCENE: pastes the source, marks the selection, plays the actions, then copies
// and saves and compares both with the renderer's image.
int CaseReplay()
{
    if (!CHECK(gContext.args.size() == 1, "usage: replay SCENE-NAME"))
        return 2;
    std::string name = Narrow(gContext.args[0]);
    SceneData scene;
    if (!LoadScene(name, scene))
        return 1;
    App app;
    if (!StartFullSize(app))
        return 1;
    if (!ReplayScript(app, scene.replay))
        return 1;
    Screenshot("final");
    CheckCopyEquals(app, scene.expected, name.c_str());
    CheckSaveEquals(app, scene.expected, name + ".png", name.c_str());
    // A copy whose formats nobody has asked for yet: the program makes them before it ends,
    // and they stay on the clipboard after it, the block byte for byte the one read while
    // the program ran.
    std::vector<uint8_t> block, left, png;
    CopyResult(app, block);
    DWORD before = ClipboardSequence();
    PostKey(app, 'C');
    CHECK(
        WaitFor([&] { return ClipboardSequence() != before && IsClipboardFormatAvailable(CF_DIB); },
                10000),
        "the second copy offers no CF_DIB");
    app.CloseAndCheck();
    CHECK(ReadClipboardDib(left) && left == block, "the copy's CF_DIB is gone with the program or "
                                                   "differs from the block read before");
    Image fromPng;
    if (CHECK(ReadClipboardData(PngClipboardFormat(), png) && DecodePng(png, fromPng),
              "the copy's \"PNG\" is gone with the program"))
        CheckSameImage(fromPng, scene.expected, (name + ": the PNG left behind").c_str());
    return 0;
}

// No curves: the canvas is 2 x 2; the copy is black, the PNG fully transparent. The PNG is
// saved under a name without an extension, which must be used exactly as typed.
int CaseCopyEmpty()
{
    App app;
    if (!app.Start())
        return 1;
    Image blank;
    blank.width = blank.height = 2;
    blank.pixels.assign(4, 0x00000000u);
    std::vector<uint8_t> block;
    if (CopyResult(app, block)) {
        CHECK(block.size() == 60, "the 2 x 2 block has %zu bytes, expected 2 * 2 * 4 + 44 = 60",
              block.size());
        Image got;
        std::string why;
        if (CHECK(DibToImage(block, got, why), "malformed block: %s", why.c_str()))
            for (uint32_t v : got.pixels)
                CHECK(Rgb(v) == kBlack, "a pixel of the empty copy is 0x%06X, not black", Rgb(v));
    }
    // The name is taken by an earlier, longer file: the dialog asks, and the PNG replaces it
    // whole, leaving no file of another name behind.
    std::string plain = OutPath("no_extension");
    DeleteFileW(WinPath(plain + ".png").c_str());
    CHECK(WriteTextFile(plain, std::string(400, 'e')), "cannot write %s", plain.c_str());
    if (SaveThroughDialog(app, WinPath(plain), plain)) {
        CHECK(!FileExists(plain + ".png"), "an extension was added to the typed name");
        Image got;
        if (CHECK(WaitFor([&] { return LoadPng(plain, got); }, 5000),
                  "the file saved as 'no_extension' is not a PNG"))
            CHECK(got.width == 2 && got.height == 2 && got.pixels == blank.pixels,
                  "the empty save is %dx%d, first pixel 0x%08X; expected 2 x 2 all transparent",
                  got.width, got.height, got.pixels.empty() ? 0u : got.pixels[0]);
        CHECK(FilesMatching(OutPath("*.tmp")).empty(), "the save left %s behind",
              FilesMatching(OutPath("*.tmp")).c_str());
    }
    // A relative name lands in the program's current folder (the case folder here).
    std::string relative = OutPath("relative.png");
    DeleteFileW(WinPath(relative).c_str());
    SaveThroughDialog(app, L"relative.png", relative);
    Image got;
    CHECK(LoadPng(relative, got) && got.width == 2 && got.height == 2,
          "a save under the relative name 'relative.png' did not write a 2 x 2 PNG into the "
          "current folder");
    app.CloseAndCheck();
    return 0;
}

// A 3 x 2 canvas (curves reaching x 1 and y 0 only, the rest at negative positions): a
// 68-byte block, the bottom row first.
int CaseCopy3x2()
{
    SceneData scene;
    if (!LoadScene("wine-canvas3x2", scene))
        return 1;
    CHECK(scene.expected.width == 3 && scene.expected.height == 2,
          "the scene's canvas is %dx%d, not 3 x 2", scene.expected.width, scene.expected.height);
    bool rowsDiffer = false;
    for (int x = 0; x < scene.expected.width; ++x) {
        uint32_t top = scene.expected.At(x, 0), bottom = scene.expected.At(x, 1);
        rowsDiffer |= ((top >> 24) ? Rgb(top) : 0) != ((bottom >> 24) ? Rgb(bottom) : 0);
    }
    CHECK(rowsDiffer, "the scene's two rows look alike, so it cannot tell the row order");
    App app;
    if (!app.Start())
        return 1;
    if (!ReplayScript(app, scene.replay))
        return 1;
    std::vector<uint8_t> block;
    if (CopyResult(app, block)) {
        CHECK(block.size() == 68, "the 3 x 2 block has %zu bytes, expected 68", block.size());
        int32_t w = 0, h = 0;
        if (block.size() >= 12) {
            std::memcpy(&w, block.data() + 4, 4);
            std::memcpy(&h, block.data() + 8, 4);
        }
        CHECK(w == 3 && h == 2, "biWidth %d biHeight %d, expected 3 and 2 (bottom-up)", w, h);
        // Byte 44 starts the bottom row: the canvas row 1.
        for (int row = 0; row < 2 && block.size() >= 68; ++row)
            for (int x = 0; x < 3; ++x) {
                const uint8_t* p = block.data() + 44 + (row * 3 + x) * 4;
                uint32_t got = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
                uint32_t e = scene.expected.At(x, 1 - row);
                uint32_t want = (e >> 24) ? Rgb(e) : kBlack;
                CHECK(got == want,
                      "block row %d (canvas row %d) pixel %d is 0x%06X, expected 0x%06X", row,
                      1 - row, x, got, want);
            }
    }
    CheckSaveEquals(app, scene.expected, "canvas3x2.png", "canvas 3 x 2");
    // A copy while another program holds the clipboard open leaves it as it was.
    PutTextOnClipboard(L"held");
    DWORD sequence = ClipboardSequence();
    if (CHECK(OpenClipboard(nullptr), "the driver cannot open the clipboard")) {
        Key(app, 'C');  // sent: handled before it returns
        CloseClipboard();
    }
    CHECK(ClipboardSequence() == sequence && IsClipboardFormatAvailable(CF_UNICODETEXT) &&
              !IsClipboardFormatAvailable(CF_DIB),
          "a copy while the clipboard was held open changed it");
    app.CloseAndCheck();
    return 0;
}

// A bitmap the program cannot convert: a DIB section does not cross processes on Wine's
// clipboard, so the program gets a handle GDI+ refuses.
static bool PutUnconvertibleBitmapOnClipboard()
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 4;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib || !OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    bool set = SetClipboardData(CF_BITMAP, dib) != nullptr;
    CloseClipboard();
    return set;
}

// Text, or a bitmap that does not convert, on the clipboard: paste leaves the source image
// as it was.
int CasePasteText()
{
    SceneData scene;
    if (!LoadScene("wine-edit", scene))
        return 1;
    App app;
    if (!StartFullSize(app))
        return 1;
    if (!ReplayScript(app, scene.replay))
        return 1;
    Image before = CaptureClient(app.source);
    PutTextOnClipboard(L"only text here");
    Key(app, 'V');
    PostMessageW(app.main, WM_COMMAND, 32775, 0);  // the menu's paste
    Pump(300);
    Image after = CaptureClient(app.source);
    CHECK(before.pixels == after.pixels,
          "paste with only text on the clipboard changed SourcePane");
    CHECK(IsClipboardFormatAvailable(CF_UNICODETEXT),
          "paste with only text on the clipboard emptied it");
    CheckCopyEquals(app, scene.expected, "paste-text");
    if (CHECK(PutUnconvertibleBitmapOnClipboard(), "cannot put a DIB section on the clipboard")) {
        Key(app, 'V');
        CHECK(CaptureClient(app.source).pixels == before.pixels,
              "a pasted bitmap that does not convert changed SourcePane");
    }
    if (PutPngOnClipboard(DataPath("not_an_image.png"))) {
        Key(app, 'V');
        CHECK(CaptureClient(app.source).pixels == before.pixels,
              "a pasted \"PNG\" that does not decode changed SourcePane");
        CheckCopyEquals(app, scene.expected, "after pastes that do not convert");
    }
    // A second picture pasted replaces the first; the rectangle stays and now applies to it.
    // It comes as "PNG" alone, as a browser copies an image.
    SceneData repasted;
    if (LoadScene("wine-edit_repasted", repasted) && PutPngOnClipboard(DataPath("drop_c.png"))) {
        Key(app, 'V');
        CheckCopyEquals(app, repasted.expected, "pasted again as PNG");
    }
    // The menu's copy command copies too.
    std::vector<uint8_t> block;
    DWORD seq = ClipboardSequence();
    PostMessageW(app.main, WM_COMMAND, 32773, 0);
    CHECK(WaitFor([&] { return ClipboardSequence() != seq; }, 5000),
          "the menu's copy command (32773) copied nothing");
    Image got;
    std::string why;
    if (WaitFor([&] { return ReadClipboardDib(block); }, 3000) && DibToImage(block, got, why))
        CHECK(got.width == scene.expected.width && got.height == scene.expected.height,
              "the menu's copy gave %dx%d", got.width, got.height);
    app.CloseAndCheck();
    return 0;
}

int CaseSaveCancel()
{
    App app;
    if (!app.Start())
        return 1;
    std::string path = OutPath("cancelled.png");
    DeleteFileW(WinPath(path).c_str());
    PostKey(app, 'S');
    HWND dialog = WaitProgramDialog(app, 10000);
    if (!CHECK(dialog != nullptr, "key S opened no save dialog"))
        return 1;
    HWND comboEx = GetDlgItem(dialog, 0x47c);
    HWND combo = comboEx ? FindWindowExW(comboEx, nullptr, L"ComboBox", nullptr) : nullptr;
    HWND edit = combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
    if (edit)
        Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WinPath(path).c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    CHECK(WaitFor([&] { return !IsWindow(dialog); }, 5000),
          "the save dialog did not close on Cancel");
    Pump(500);
    CHECK(!FileExists(path), "cancelling the save dialog wrote %s", path.c_str());
    CHECK(app.Running(), "the program ended after the cancelled save");
    app.CloseAndCheck();
    return 0;
}

// C, Enter, Shift+C and Ctrl+C copy; the full stop does nothing; Delete clears the mesh.
int CaseKeysCopy()
{
    SceneData scene;
    if (!LoadScene("wine-edit", scene))
        return 1;
    App app;
    if (!StartFullSize(app))
        return 1;
    if (!ReplayScript(app, scene.replay))
        return 1;
    CheckCopyEquals(app, scene.expected, "key C");
    std::vector<uint8_t> block;
    PutTextOnClipboard(L"x");
    CHECK(CopyResult(app, block, VK_RETURN), "Enter did not copy");
    SetForegroundWindow(app.main);
    Pump(100);
    for (const char* keys : {"shift+c", "ctrl+c", "c"}) {
        PutTextOnClipboard(L"x");
        DWORD seq = ClipboardSequence();
        RealInput(std::string("key ") + keys);
        bool copied = WaitFor(
            [&] { return ClipboardSequence() != seq && IsClipboardFormatAvailable(CF_DIB); }, 5000);
        CHECK(copied, "typing %s did not copy", keys);
    }
    // The full stop is no command: no copy, no clearing, no dialog.
    PutTextOnClipboard(L"x");
    DWORD seq = ClipboardSequence();
    Key(app, VK_OEM_PERIOD);
    Key(app, VK_DECIMAL);
    Pump(300);
    CHECK(ClipboardSequence() == seq && !FindProgramDialog(app), "the full stop key did something");
    CheckCopyEquals(app, scene.expected, "after the full stop");
    // Delete empties the mesh: the copy is 2 x 2 black again.
    Key(app, VK_DELETE, app.source);
    Image blank;
    blank.width = blank.height = 2;
    blank.pixels.assign(4, 0);
    CheckCopyEquals(app, blank, "after Delete");
    Screenshot("keys-copy");
    app.CloseAndCheck();
    return 0;
}

// Keys during a stroke or a node drag: H counts from the next stroke on, and C, S, W, the
// menu's copy and Delete first end the stroke or drag as its release at the last position
// would, so each export is what vorlin-render computes for the scene the user meant; the
// moves and the release that come after an ended stroke or drag change nothing.
int CaseKeysMidstroke()
{
    SceneData copied, saved, refined, menu;
    if (!LoadScene("wine-midstroke_copy", copied) || !LoadScene("wine-midstroke_save", saved) ||
        !LoadScene("wine-midstroke_refine", refined) || !LoadScene("wine-midstroke_menu", menu))
        return 1;
    App app;
    if (!StartWithCoordsPicture(app))
        return 1;
    auto press = [&](UINT msg, int x, int y) {
        const WPARAM buttons = msg == WM_LBUTTONDOWN   ? MK_LBUTTON
                               : msg == WM_RBUTTONDOWN ? MK_RBUTTON
                                                       : 0;
        Send(app.result, msg, buttons, PackPoint(x, y));
    };
    RubberBand(app, POINT{40, 30}, POINT{280, 210});
    Stroke(app, {{100, 60}, {104, 150}, {98, 250}, {102, 330}});
    Stroke(app, {{420, 50}, {430, 180}, {415, 320}});
    Key(app, 'T');
    Stroke(app, {{60, 80}, {180, 85}, {340, 90}, {470, 85}});

    // The second row with H and then C pressed while it is drawn.
    press(WM_LBUTTONDOWN, 50, 305);
    press(WM_MOUSEMOVE, 180, 290);
    Key(app, 'H');  // the rest of the stroke stays in the row it began
    press(WM_MOUSEMOVE, 340, 295);
    press(WM_MOUSEMOVE, 470, 300);
    CheckCopyEquals(app, copied.expected, "C during a stroke");
    press(WM_MOUSEMOVE, 300, 320);
    press(WM_LBUTTONUP, 300, 320);
    CheckCopyEquals(app, copied.expected, "C after the moves and release that followed");

    // H took effect at the end of that stroke: this one is a column. Then S during a node
    // drag: the node is saved where the last move put it.
    press(WM_LBUTTONDOWN, 260, 40);
    press(WM_MOUSEMOVE, 255, 200);
    press(WM_MOUSEMOVE, 265, 335);
    press(WM_LBUTTONUP, 265, 335);
    press(WM_RBUTTONDOWN, 256, 89);
    press(WM_MOUSEMOVE, 270, 105);
    press(WM_MOUSEMOVE, 276, 112);
    CheckSaveEquals(app, saved.expected, "midstroke-save.png", "S during a node drag");
    press(WM_MOUSEMOVE, 320, 150);
    press(WM_RBUTTONUP, 320, 150);

    // W during a stroke: the stroke ends, then the mesh is refined with it.
    press(WM_LBUTTONDOWN, 340, 45);
    press(WM_MOUSEMOVE, 345, 190);
    press(WM_MOUSEMOVE, 338, 330);
    Key(app, 'W');
    press(WM_MOUSEMOVE, 300, 300);
    press(WM_LBUTTONUP, 300, 300);
    CheckCopyEquals(app, refined.expected, "W during a stroke");

    // The menu's copy during a node drag with no move: the node goes to the press.
    press(WM_RBUTTONDOWN, 302, 197);
    CheckCopyEquals(app, menu.expected, "the menu's copy during a node drag", kCopyByMenu);
    press(WM_RBUTTONUP, 330, 230);
    CheckCopyEquals(app, menu.expected, "C after the release that followed");

    // Delete during a stroke: the stroke ends, then everything is cleared, and the moves
    // after it draw nothing: the copy is the 2 x 2 canvas of no curves.
    press(WM_LBUTTONDOWN, 100, 100);
    press(WM_MOUSEMOVE, 150, 200);
    Key(app, VK_DELETE);
    press(WM_MOUSEMOVE, 200, 250);
    press(WM_LBUTTONUP, 200, 250);
    Image blank;
    blank.width = blank.height = 2;
    blank.pixels.assign(4, 0);
    CheckCopyEquals(app, blank, "Delete during a stroke");
    Screenshot("keys-midstroke");
    app.CloseAndCheck();
    return 0;
}

// ---- scenes saved and opened by the program ------------------------------------------------

// vorlin-render.exe of the same build, run under Wine beside the program: its exit status, and
// what it printed on standard error.
static int RunRenderer(const std::vector<std::wstring>& args, std::string& errors)
{
    const std::wstring& program = gContext.exe;
    std::wstring exe =
        program.substr(0, program.find_last_of(L"\\/") + 1) + L"tools\\vorlin-render.exe";
    std::wstring command = L"\"" + exe + L"\"";
    for (const std::wstring& a : args)
        command += L" \"" + a + L"\"";
    const std::string errorsPath = OutPath("renderer-stderr.txt");
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(WinPath(errorsPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW start{};
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = start.hStdError = file;
    PROCESS_INFORMATION p{};
    DWORD code = 9999;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &start, &p)) {
        WaitFor([&] { return WaitForSingleObject(p.hProcess, 0) == WAIT_OBJECT_0; }, 60000);
        GetExitCodeProcess(p.hProcess, &code);
        CloseHandle(p.hThread);
        CloseHandle(p.hProcess);
    }
    CloseHandle(file);
    std::ifstream in(WinPath(errorsPath).c_str(), std::ios::binary);
    errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r'))
        errors.pop_back();
    return int(code);
}

static std::string ReadText(const std::string& unixPath)
{
    std::ifstream in(WinPath(unixPath).c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static void WriteText(const std::string& unixPath, const std::string& text)
{
    std::ofstream(WinPath(unixPath).c_str(), std::ios::binary) << text;
}

static bool AnyFile(const std::string& pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(WinPath(OutPath(pattern)).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

// Waits for the scene message box, gives its text and closes it.
static std::string TakeSceneMessage(App& app, const char* when)
{
    HWND box = WaitProgramDialog(app, 10000, L"シーンを開く");
    if (!Check(box != nullptr, "%s: no message box", when))
        return std::string();
    CHECK(GetWindow(box, GW_OWNER) == app.main, "%s: the message box is not MainWindow's", when);
    std::string text = Narrow(MessageText(box));
    Screenshot(std::string("message-") + when);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    CHECK(WaitFor([&] { return !IsWindow(box); }, 5000), "%s: the box did not close", when);
    return text;
}

static bool SamePixels(const std::string& a, const std::string& b)
{
    Image x, y;
    return LoadPng(a, x) && LoadPng(b, y) && x.width == y.width && x.height == y.height &&
           x.pixels == y.pixels;
}

// A mesh with a backdrop saved with M (a name typed without an ending gets .scene.json) renders
// in vorlin-render exactly as the program exports it; opened with O in a fresh program it gives
// that export again and saves to the same mesh, and Z undoes the opening. A corrupt scene, opened
// or dropped, is refused in vorlin-render's words and changes nothing; a dropped scene whose
// images are missing opens and names them.
int CaseSceneFiles()
{
    SceneData scene;
    Image backdrop;
    if (!LoadScene("wine-nodedrag", scene) ||
        !CHECK(LoadPng(DataPath("drop_c.png"), backdrop), "no drop_c.png"))
        return 1;
    const uint32_t backdropAt = Rgb(backdrop.At(5, 100));  // left of every cell
    const std::string saved = OutPath("saved.scene.json");
    std::string errors;
    {
        // The source and the backdrop opened through the menu's dialogs.
        App app;
        if (!StartFullSize(app))
            return 1;
        CheckTitle(app, L"vorlin", "at the start");
        gSourceByDialog = true;
        const bool replayed = ReplayScript(app, scene.replay);
        gSourceByDialog = false;
        if (!replayed)
            return 1;
        CheckTitle(app, L"*vorlin", "after the mesh");
        OpenImageThroughMenu(app, 32785, WinPath(DataPath("drop_c.png")));
        Key(app, 'T');
        CheckSaveEquals(app, scene.expected, "export.png", "the program's export");
        if (!FileThroughDialog(app, 'M', WinPath(OutPath("saved")), saved))
            return 1;
        CHECK(AnyFile("saved.source.*.png") && AnyFile("saved.backdrop.*.png") &&
                  ReadText(saved).find("\"backdrop\": \"saved.backdrop.") != std::string::npos,
              "the images were not saved beside the scene, or the scene names no backdrop");
        // The title through edits, undo and redo back to the saved state, and a new backdrop.
        const std::wstring name = L"vorlin - saved.scene.json";
        CheckTitle(app, name, "after the save");
        Key(app, 'H');
        CheckTitle(app, name, "H is no edit");
        Stroke(app, {{30, 30}, {33, 90}});
        CheckTitle(app, L"*" + name, "a stroke after the save");
        Key(app, 'Z');
        CheckTitle(app, name, "the stroke undone");
        Key(app, 'Y');
        CheckTitle(app, L"*" + name, "the stroke redone");
        Key(app, 'Z');
        DropFiles(app, app.result, {WinPath(DataPath("drop_c.png"))}, POINT{5, 5});
        CheckTitle(app, L"*" + name, "the same backdrop dropped again");
        FileThroughDialog(app, 'M', WinPath(saved), saved);
        CheckTitle(app, name, "saved again");
        app.CloseAndCheck();
    }
    int code = RunRenderer({WinPath(saved), L"--png", WinPath(OutPath("rendered.png")), L"--grid",
                            WinPath(OutPath("saved.grid.json"))},
                           errors);
    CHECK(code == 0 && errors.empty(), "vorlin-render on the saved scene: %d, '%s'", code,
          errors.c_str());
    CHECK(SamePixels(OutPath("rendered.png"), OutPath("export.png")),
          "vorlin-render's image of the saved scene is not the program's export");

    App app;
    if (!StartFullSize(app))
        return 1;
    FileThroughDialog(app, 'O', WinPath(saved), "");
    CheckTitle(app, L"vorlin - saved.scene.json", "the scene opened");
    CheckCopyEquals(app, scene.expected, "the saved scene opened");
    CHECK(Rgb(CaptureClient(app.result).At(5, 100)) == backdropAt,
          "the opened scene's backdrop is not shown");
    const std::string again = OutPath("again.scene.json");
    FileThroughDialog(app, 'M', WinPath(again), again);
    code = RunRenderer({WinPath(again), L"--png", WinPath(OutPath("again.png")), L"--grid",
                        WinPath(OutPath("again.grid.json"))},
                       errors);
    CHECK(code == 0 && ReadText(OutPath("again.grid.json")) == ReadText(OutPath("saved.grid.json")),
          "saved again after opening, the scene gives another mesh");
    CHECK(SamePixels(OutPath("again.png"), OutPath("export.png")),
          "saved again after opening, the scene renders another image");
    Image blank;
    blank.width = blank.height = 2;
    blank.pixels.assign(4, 0);
    CheckTitle(app, L"vorlin - again.scene.json", "saved under another name");
    Key(app, 'Z');
    CheckTitle(app, L"*vorlin - again.scene.json", "the opening undone");
    CheckCopyEquals(app, blank, "the opening undone");
    CHECK(Rgb(CaptureClient(app.result).At(5, 100)) == kBlack,
          "the backdrop stays after the opening was undone");
    Key(app, 'Y');
    CheckTitle(app, L"vorlin - again.scene.json", "the opening redone");
    CheckCopyEquals(app, scene.expected, "the opening redone");

    // Refused through the dialog and through a drop, in the renderer's words.
    const std::string bad = OutPath("bad.scene.json");
    WriteText(bad, "{\"colums\": []}");
    code = RunRenderer({WinPath(bad)}, errors);
    const std::string prefix = "vorlin-render: ";
    CHECK(code == 2 && errors.rfind(prefix, 0) == 0, "vorlin-render on the bad scene: %d, '%s'",
          code, errors.c_str());
    const std::string reason = errors.substr(std::min(errors.size(), prefix.size()));
    FileThroughDialog(app, 'O', WinPath(bad), "");
    std::string said = TakeSceneMessage(app, "opened");
    CHECK(said == reason, "the refusal says '%s', the renderer '%s'", said.c_str(), reason.c_str());
    CheckCopyEquals(app, scene.expected, "after the refused scene");
    DropFiles(app, app.result, {WinPath(bad)}, POINT{5, 5});
    said = TakeSceneMessage(app, "dropped");
    CHECK(said == reason, "the dropped refusal says '%s'", said.c_str());
    CheckCopyEquals(app, scene.expected, "after the refused drop");

    // Of two dropped scenes the one that reads opens; its missing images are named, each in the
    // renderer's words, in one box after the refusal's.
    const std::string missing = OutPath("missing.scene.json");
    WriteText(missing, "{\"source\": \"nowhere.png\", \"backdrop\": \"nowhere-backdrop.png\"}");
    code = RunRenderer({WinPath(missing), L"--png", WinPath(OutPath("missing.png"))}, errors);
    const std::string warning = "vorlin-render: warning: ";
    CHECK(code == 0 && errors.rfind(warning, 0) == 0, "vorlin-render on the scene without images");
    DropFiles(app, app.source, {WinPath(missing), WinPath(bad)}, POINT{5, 5});
    TakeSceneMessage(app, "refused-of-two");
    said = TakeSceneMessage(app, "missing-images");
    CHECK(said.rfind(errors.substr(std::min(errors.size(), warning.size())) + "\n", 0) == 0 &&
              said.find("nowhere-backdrop.png") != std::string::npos,
          "the missing images are named as '%s'", said.c_str());
    CheckCopyEquals(app, blank, "the scene without images opened");
    CheckTitle(app, L"vorlin - missing.scene.json", "the scene without images opened");
    Key(app, 'Z');
    CheckCopyEquals(app, scene.expected, "the scene without images undone");
    app.CloseAndCheck();
    return 0;
}
