// Cases of the application shell: start-up, the pane layout and the splitter, the layout
// key, translucency, the About box through the accelerator table, and ending the program.
#include <cstdio>
#include <cwchar>
#include <thread>

#include "app/commands.h"
#include "cases.h"

// ---- shared helpers ------------------------------------------------------------------------

void PlaceMainWindow(App& app, int x, int y, int width, int height)
{
    // Sent to the window's own thread and handled before SetWindowPos returns, WM_SIZE
    // (and so the relayout) included.
    SetWindowPos(app.main, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(50);
    WaitForInputIdle(app.process.hProcess, 2000);
}

bool StartFullSize(App& app)
{
    if (!app.Start())
        return false;
    // Not quite the whole desktop: the parked pointer must stay off the program's
    // windows, or capture changes bring its real position in as mouse moves.
    PlaceMainWindow(app, 0, 0, 1270, 790);
    ParkPointer();
    return true;
}

bool StartWithCoordsPicture(App& app)
{
    if (!StartFullSize(app))
        return false;
    Image coords;
    if (!CHECK(LoadPng(DataPath("coords.png"), coords), "no fixture coords.png"))
        return false;
    PutBitmapOnClipboard(coords);
    Key(app, 'V');
    return true;
}

PaneBox BoxOf(App& app, HWND pane)
{
    RECT r{};
    GetWindowRect(pane, &r);
    MapWindowPoints(nullptr, app.main, reinterpret_cast<POINT*>(&r), 2);
    return PaneBox{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

SIZE MainClientSize(App& app)
{
    RECT r{};
    GetClientRect(app.main, &r);
    return SIZE{r.right, r.bottom};
}

bool CheckBox(App& app, HWND pane, const char* name, PaneBox want, const char* when)
{
    // The window system keeps no negative extent: a pane pushed past the edge is 0 wide.
    if (want.w < 0)
        want.w = 0;
    if (want.h < 0)
        want.h = 0;
    PaneBox got = BoxOf(app, pane);
    bool same = got.w == want.w && got.h == want.h &&
                (want.w == 0 || want.h == 0 || (got.x == want.x && got.y == want.y));
    return Check(same, "%s: %s is (%d, %d, %d x %d), expected (%d, %d, %d x %d)", when, name, got.x,
                 got.y, got.w, got.h, want.x, want.y, want.w, want.h);
}

bool CheckTitle(App& app, const std::wstring& want, const char* when)
{
    WaitFor([&] { return TextOf(app.main) == want; }, 3000);
    return CHECK(TextOf(app.main) == want, "%s: the title is '%s', expected '%s'", when,
                 Narrow(TextOf(app.main)).c_str(), Narrow(want).c_str());
}

static void CheckStacked(App& app, int splitY, const char* when)
{
    SIZE c = MainClientSize(app);
    CheckBox(app, app.source, "SourcePane", {0, 0, int(c.cx), splitY}, when);
    CheckBox(app, app.splitter, "Splitter", {0, splitY, int(c.cx), 4}, when);
    CheckBox(app, app.result, "ResultPane", {0, splitY + 4, int(c.cx), int(c.cy) - splitY - 4},
             when);
}

static void CheckSideBySide(App& app, int splitX, const char* when)
{
    SIZE c = MainClientSize(app);
    CheckBox(app, app.source, "SourcePane", {0, 0, splitX, int(c.cy)}, when);
    CheckBox(app, app.splitter, "Splitter", {splitX, 0, 4, int(c.cy)}, when);
    CheckBox(app, app.result, "ResultPane", {splitX + 4, 0, int(c.cx) - splitX - 4, int(c.cy)},
             when);
}

static void CheckSingle(App& app, bool sourceShown, const char* when)
{
    SIZE c = MainClientSize(app);
    PaneBox full{0, 0, int(c.cx), int(c.cy)}, none{0, 0, 0, 0};
    CheckBox(app, app.source, "SourcePane", sourceShown ? full : none, when);
    CheckBox(app, app.splitter, "Splitter", none, when);
    CheckBox(app, app.result, "ResultPane", sourceShown ? none : full, when);
}

bool IsRedish(uint32_t rgb)
{
    return (rgb >> 16 & 255) > 180 && (rgb >> 8 & 255) < 90 && (rgb & 255) < 90;
}
bool IsGreenish(uint32_t rgb)
{
    return (rgb >> 8 & 255) > 180 && (rgb >> 16 & 255) < 90 && (rgb & 255) < 90;
}

// The zoom label lies within the top 45 rows; a long one may reach past the usual label box.
bool ClearedWithLabel(const Image& pane, uint32_t colour, int width)
{
    bool halo = false;
    for (int y = 0; y < pane.height; ++y)
        for (int x = 0; x < pane.width && x < width; ++x) {
            if (y > 45 && Rgb(pane.At(x, y)) != colour)
                return false;
            halo |= y <= 45 && Rgb(pane.At(x, y)) == kWhite;
        }
    return halo;
}

bool AnyIn(const Image& image, int x0, int y0, int x1, int y1, bool (*pred)(uint32_t))
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (image.Inside(x, y) && pred(Rgb(image.At(x, y))))
                return true;
    return false;
}

// ---- start-up ---------------------------------------------------------------------------------

// The manifest built into vorlin.exe (resource 1 of type RT_MANIFEST), or "".
static std::string EmbeddedManifest()
{
    HMODULE exe = LoadLibraryExW(gContext.exe.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!exe)
        return {};
    std::string text;
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL loaded = found ? LoadResource(exe, found) : nullptr;
    if (const void* bytes = loaded ? LockResource(loaded) : nullptr)
        text.assign(static_cast<const char*>(bytes), SizeofResource(exe, found));
    FreeLibrary(exe);
    return text;
}

// The manifest keeps the execution level and declares per-monitor awareness of the display
// density (v2, with the older form), long paths, common controls 6 and Windows 10 and 11.
// (Under Wine a program without a manifest is per-monitor aware as well, so the running
// program cannot show what its manifest did.)
static void CheckManifest()
{
    const std::string manifest = EmbeddedManifest();
    for (const char* part : {
             "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
             ">true/pm</dpiAware>",
             ">PerMonitorV2, PerMonitor</dpiAwareness>",
             ">true</longPathAware>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
         })
        CHECK(manifest.find(part) != std::string::npos, "the built manifest lacks %s", part);
}

// Menu 109 as built into vorlin.exe, against the command table that the key handler and the
// keys help read: the popups and items in their order, each item's key after its tab as the
// table gives it, the words the items had before their keys, the radio items, and no new
// File item taking Alt+F, X from the exit.
static void CheckMenuResource()
{
    HMODULE exe = LoadLibraryExW(gContext.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMENU menu = exe ? LoadMenuW(exe, MAKEINTRESOURCEW(109)) : nullptr;
    if (!CHECK(menu != nullptr, "menu 109 cannot be loaded from the exe (%lu)", GetLastError())) {
        if (exe)
            FreeLibrary(exe);
        return;
    }
    struct Popup {
        const wchar_t* name;
        std::vector<UINT> ids;  // 0: a separator
    };
    const Popup popups[] = {
        {L"ファイル(&F)", {32784, 32785, 0, 32782, 32783, 0, 32787, 0, 105}},
        {L"編集(&E)", {32780, 32781, 0, 32775, 32773, 0, 32793, 32794}},
        {L"メッシュ(&M)", {32788, 32789}},
        {L"表示(&V)", {32790, 0, 32791, 32792}},
        {L"ヘルプ(&H)", {32786, 0, 104}},
    };
    // The items of the first menu keep their words before the tab.
    const std::pair<UINT, const wchar_t*> words[] = {
        {32782, L"シーンを開く(&O)..."},
        {32783, L"シーンを保存(&M)..."},
        {105, L"アプリケーションの終了(&X)"},
        {32780, L"元に戻す(&Z)"},
        {32781, L"やり直し(&Y)"},
        {32775, L"クリップボードからソースへペースト(&V)"},
        {32773, L"クリップボードへコピー(&C)"},
        {104, L"バージョン情報(&A)..."},
    };
    auto text = [](HMENU m, UINT position) {
        wchar_t buffer[256] = L"";
        GetMenuStringW(m, position, buffer, 256, MF_BYPOSITION);
        return std::wstring(buffer);
    };
    CHECK(GetMenuItemCount(menu) == int(std::size(popups)), "the menu bar has %d entries",
          GetMenuItemCount(menu));
    std::vector<UINT> seen;
    for (size_t p = 0; p < std::size(popups) && p < size_t(GetMenuItemCount(menu)); ++p) {
        CHECK(text(menu, UINT(p)) == popups[p].name, "menu bar entry %zu is '%s'", p,
              Narrow(text(menu, UINT(p))).c_str());
        HMENU sub = GetSubMenu(menu, int(p));
        const std::vector<UINT>& ids = popups[p].ids;
        if (!CHECK(sub && GetMenuItemCount(sub) == int(ids.size()), "popup '%s' has %d items",
                   Narrow(popups[p].name).c_str(), sub ? GetMenuItemCount(sub) : -1))
            continue;
        for (size_t i = 0; i < ids.size(); ++i) {
            const UINT id = GetMenuItemID(sub, int(i));
            const std::wstring item = text(sub, UINT(i));
            if (ids[i] == 0) {
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_FTYPE;
                GetMenuItemInfoW(sub, UINT(i), TRUE, &info);
                CHECK(info.fType & MFT_SEPARATOR, "item %zu of '%s' is not a separator", i,
                      Narrow(popups[p].name).c_str());
                continue;
            }
            CHECK(id == ids[i], "item %zu of '%s' has id %u, expected %u", i,
                  Narrow(popups[p].name).c_str(), id, ids[i]);
            seen.push_back(id);
            const CommandEntry* entry = nullptr;
            for (const CommandEntry& e : CommandTable())
                if (e.menuId == id)
                    entry = &e;
            if (!CHECK(entry != nullptr, "menu item %u is not in the command table", id))
                continue;
            const size_t tab = item.find(L'\t');
            const std::wstring hint = KeyHint(*entry);
            const std::wstring shown = tab == std::wstring::npos ? L"" : item.substr(tab + 1);
            CHECK(shown == hint, "menu item %u '%s' shows the key '%s', the table '%s'", id,
                  Narrow(item).c_str(), Narrow(shown).c_str(), Narrow(hint).c_str());
            // the hint names keys that run this very command
            for (uint32_t key : entry->keys)
                if (key != 0)
                    CHECK(CommandForKey(key) == entry->command &&
                              CommandForMenuId(id) == entry->command,
                          "key 0x%x of item %u runs another command", key, id);
            for (const auto& w : words)
                if (w.first == id)
                    CHECK(item.substr(0, tab) == w.second, "item %u now reads '%s'", id,
                          Narrow(item).c_str());
            if (p == 0 && id != 105)
                CHECK(item.find(L"&X") == std::wstring::npos &&
                          item.find(L"&x") == std::wstring::npos,
                      "File item %u takes the exit's mnemonic X", id);
        }
    }
    for (const CommandEntry& e : CommandTable())
        CHECK(e.menuId == 0 || std::count(seen.begin(), seen.end(), e.menuId) == 1,
              "command of menu id %u is in the menu %d times", e.menuId,
              int(std::count(seen.begin(), seen.end(), e.menuId)));
    // The family and the translucency as radio items, columns and opaque to begin with; undo
    // and redo greyed.
    const std::pair<UINT, UINT> states[] = {{32788, MFS_CHECKED}, {32789, 0},
                                            {32791, 0},           {32792, MFS_CHECKED},
                                            {32780, MFS_GRAYED},  {32781, MFS_GRAYED}};
    for (const auto& [id, state] : states) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE;
        GetMenuItemInfoW(menu, id, FALSE, &info);
        const bool radio = id != 32780 && id != 32781;
        CHECK(bool(info.fType & MFT_RADIOCHECK) == radio &&
                  (info.fState & (MFS_CHECKED | MFS_GRAYED)) == state,
              "item %u has type 0x%x and state 0x%x", id, info.fType, info.fState);
    }
    DestroyMenu(menu);
    FreeLibrary(exe);
}

int CaseStartup()
{
    App app;
    if (!app.Start())
        return 1;
    CheckManifest();
    CheckMenuResource();
    CHECK(ClassOf(app.main) == L"VORLINC", "main window class is '%s'",
          Narrow(ClassOf(app.main)).c_str());
    CHECK(TextOf(app.main) == L"vorlin", "title is '%s', expected 'vorlin'",
          Narrow(TextOf(app.main)).c_str());
    LONG style = GetWindowLongW(app.main, GWL_STYLE);
    CHECK((style & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW && (style & WS_VISIBLE),
          "MainWindow style 0x%08lx lacks WS_OVERLAPPEDWINDOW or is hidden", style);
    CHECK(!(style & WS_CLIPCHILDREN), "MainWindow has WS_CLIPCHILDREN (style 0x%08lx)", style);
    CHECK(!(GetWindowLongW(app.main, GWL_EXSTYLE) & WS_EX_LAYERED), "MainWindow starts layered");
    CHECK(GetMenu(app.main) != nullptr, "MainWindow has no menu");

    // Exactly the three children, each a plain visible child of MainWindow.
    int children = 0;
    for (HWND c = GetWindow(app.main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        ++children;
        std::wstring cls = ClassOf(c);
        CHECK(cls == L"vorlin_L" || cls == L"vorlin_S" || cls == L"vorlin_R",
              "unexpected child class '%s'", Narrow(cls).c_str());
        LONG cs = GetWindowLongW(c, GWL_STYLE);
        CHECK((cs & ~(WS_VISIBLE | WS_CLIPSIBLINGS)) == WS_CHILD && (cs & WS_VISIBLE),
              "child '%s' has style 0x%08lx, expected WS_CHILD and visible", Narrow(cls).c_str(),
              cs);
        // The two picture panes accept dropped files, which is their only extended style.
        LONG want = cls == L"vorlin_S" ? 0 : WS_EX_ACCEPTFILES;
        CHECK(GetWindowLongW(c, GWL_EXSTYLE) == want,
              "child '%s' has the extended style 0x%08lx, expected 0x%08lx", Narrow(cls).c_str(),
              GetWindowLongW(c, GWL_EXSTYLE), want);
        CHECK(TextOf(c).empty(), "child '%s' has a title", Narrow(cls).c_str());
    }
    CHECK(children == 3, "MainWindow has %d children, expected 3", children);
    for (HWND w : {app.main, app.source, app.splitter, app.result}) {
        SetLastError(0);
        ULONG_PTR cs = GetClassLongPtrW(w, GCL_STYLE);
        if (cs || !GetLastError())
            CHECK((cs & (CS_HREDRAW | CS_VREDRAW)) == (CS_HREDRAW | CS_VREDRAW),
                  "class '%s' has style 0x%llx without CS_HREDRAW | CS_VREDRAW",
                  Narrow(ClassOf(w)).c_str(), (unsigned long long)cs);
        else
            Note("note: the class style of '%s' cannot be read from another process",
                 Narrow(ClassOf(w)).c_str());
    }

    // Stacked: SourcePane (H - 4) / 2 high, the bar under it, ResultPane the rest.
    SIZE c = MainClientSize(app);
    Note("MainWindow client %ld x %ld", c.cx, c.cy);
    CheckStacked(app, (int(c.cy) - 4) / 2, "after start-up");

    // What a person sees: the green source pane with its zoom label, the black result pane
    // with its own, the bar in the menu colour.
    Image source = CaptureClient(app.source);
    Image result = CaptureClient(app.result);
    Image bar = CaptureClient(app.splitter);
    long wrongSource = 0, wrongResult = 0, wrongBar = 0;
    bool labelWhite = false, labelBlack = false;
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x) {
            uint32_t v = Rgb(source.At(x, y));
            bool inLabel = x >= 6 && x <= 140 && y >= 6 && y <= 40;
            if (inLabel) {
                labelWhite |= v == kWhite;
                labelBlack |= v == kBlack;
            } else if (v != kSourceGreen) {
                ++wrongSource;
            }
        }
    CHECK(wrongSource == 0, "SourcePane: %ld pixels outside the zoom label are not 0x007F00",
          wrongSource);
    CHECK(labelWhite && labelBlack, "SourcePane shows no outlined zoom label at (10, 10)");
    bool resultWhite = false;
    for (int y = 0; y < result.height; ++y)
        for (int x = 0; x < result.width; ++x) {
            uint32_t v = Rgb(result.At(x, y));
            if (x >= 6 && x <= 140 && y >= 6 && y <= 40)
                resultWhite |= v == kWhite;
            else if (v != kBlack)
                ++wrongResult;
        }
    CHECK(wrongResult == 0, "ResultPane: %ld pixels outside the zoom label are not black",
          wrongResult);
    CHECK(resultWhite, "ResultPane shows no outlined zoom label");
    COLORREF menu = GetSysColor(COLOR_MENU);
    uint32_t menuRgb =
        (uint32_t(GetRValue(menu)) << 16) | (uint32_t(GetGValue(menu)) << 8) | GetBValue(menu);
    for (uint32_t v : bar.pixels)
        wrongBar += Rgb(v) != menuRgb;
    CHECK(bar.width == c.cx && bar.height == 4, "Splitter client is %dx%d", bar.width, bar.height);
    CHECK(wrongBar == 0, "Splitter: %ld pixels are not the menu colour 0x%06X", wrongBar, menuRgb);
    SavePng(OutPath("source-pane.png"), source);
    Screenshot("startup");
    app.CloseAndCheck();
    return 0;
}

// ---- layout on resize --------------------------------------------------------------------------

int CaseResize()
{
    App app;
    if (!app.Start())
        return 1;
    // Each resize keeps SourcePane's share SH / (SH + RH) of H - 4, truncated.
    const int sizes[][2] = {{900, 700}, {1100, 520}, {640, 480}, {1260, 780}};
    for (const auto& s : sizes) {
        int sh = BoxOf(app, app.source).h, rh = BoxOf(app, app.result).h;
        PlaceMainWindow(app, 10, 10, s[0], s[1]);
        SIZE c = MainClientSize(app);
        int splitY = (int(c.cy) - 4) * sh / (sh + rh);
        char when[96];
        std::snprintf(when, sizeof when, "Stacked, resized to %d x %d (panes were %d and %d high)",
                      s[0], s[1], sh, rh);
        CheckStacked(app, splitY, when);
    }
    // An uneven division first, so the kept share is not just the middle.
    {
        POINT press{100, 2};
        Send(app.splitter, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(press.x, press.y));
        Send(app.splitter, WM_MOUSEMOVE, MK_LBUTTON, PackPoint(press.x, press.y - 150));
        Send(app.splitter, WM_LBUTTONUP, 0, PackPoint(press.x, press.y - 150));
        int sh = BoxOf(app, app.source).h, rh = BoxOf(app, app.result).h;
        PlaceMainWindow(app, 0, 0, 1000, 760);
        SIZE c = MainClientSize(app);
        CheckStacked(app, (int(c.cy) - 4) * sh / (sh + rh),
                     "Stacked, uneven division, resized to 1000 x 760");
    }
    // Minimising and restoring gives back the same layout.
    PaneBox before = BoxOf(app, app.source);
    ShowWindow(app.main, SW_MINIMIZE);
    Pump(200);
    ShowWindow(app.main, SW_RESTORE);
    Pump(200);
    WaitForInputIdle(app.process.hProcess, 2000);
    PaneBox after = BoxOf(app, app.source);
    CHECK(after.w == before.w && after.h == before.h && BoxOf(app, app.result).h > 0,
          "after minimise and restore SourcePane is %d x %d (was %d x %d), ResultPane %d high",
          after.w, after.h, before.w, before.h, BoxOf(app, app.result).h);
    // SideBySide keeps the horizontal share SW / (SW + RW) of W - 4.
    Key(app, 'P');
    Key(app, 'P');
    {
        POINT press{2, 100};
        Send(app.splitter, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(press.x, press.y));
        Send(app.splitter, WM_MOUSEMOVE, MK_LBUTTON, PackPoint(press.x + 170, press.y));
        Send(app.splitter, WM_LBUTTONUP, 0, PackPoint(press.x + 170, press.y));
    }
    const int wide[][2] = {{1200, 600}, {700, 650}};
    for (const auto& s : wide) {
        int sw = BoxOf(app, app.source).w, rw = BoxOf(app, app.result).w;
        PlaceMainWindow(app, 0, 0, s[0], s[1]);
        SIZE c = MainClientSize(app);
        char when[96];
        std::snprintf(when, sizeof when,
                      "SideBySide, resized to %d x %d (panes were %d and %d wide)", s[0], s[1], sw,
                      rw);
        CheckSideBySide(app, (int(c.cx) - 4) * sw / (sw + rw), when);
    }
    Screenshot("resize");
    app.CloseAndCheck();
    return 0;
}

// ---- the splitter ------------------------------------------------------------------------------

// Drags the bar from a point of it by (dx, dy) screen pixels in steps, each mouse message
// carrying the position in the bar's client coordinates at that moment, as the window
// system would.
static void DragSplitter(App& app, POINT pressClient, int dx, int dy, int steps = 4)
{
    POINT start = app.ClientOrigin(app.splitter);
    POINT pressScreen{start.x + pressClient.x, start.y + pressClient.y};
    Send(app.splitter, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(pressClient.x, pressClient.y));
    for (int i = 1; i <= steps; ++i) {
        POINT target{pressScreen.x + dx * i / steps, pressScreen.y + dy * i / steps};
        POINT origin = app.ClientOrigin(app.splitter);
        Send(app.splitter, WM_MOUSEMOVE, MK_LBUTTON,
             PackPoint(target.x - origin.x, target.y - origin.y));
        if (i == steps) {
            origin = app.ClientOrigin(app.splitter);  // the move has shifted the bar
            Send(app.splitter, WM_LBUTTONUP, 0,
                 PackPoint(target.x - origin.x, target.y - origin.y));
        }
    }
}

int CaseSplitter()
{
    App app;
    if (!app.Start())
        return 1;
    PlaceMainWindow(app, 0, 0, 1000, 700);
    SIZE c = MainClientSize(app);
    int split = BoxOf(app, app.splitter).y;
    CheckStacked(app, (int(c.cy) - 4) / 2, "before the drags");

    DragSplitter(app, POINT{200, 2}, 0, 60);
    CheckStacked(app, split + 60, "after dragging the bar 60 pixels down");
    DragSplitter(app, POINT{700, 1}, 35, -140);
    CheckStacked(app, split + 60 - 140, "after dragging the bar 140 pixels up (and sideways)");
    split = split - 80;

    // A release that reaches the bar with no drag under way moves nothing.
    Send(app.splitter, WM_LBUTTONUP, 0, PackPoint(50, 90));
    CheckStacked(app, split, "after a release on the bar without a press");
    Send(app.splitter, WM_MOUSEMOVE, 0, PackPoint(50, 120));
    CheckStacked(app, split, "after a move over the bar without a press");

    // To or past the top edge: the middle.
    POINT barScreen = app.ClientOrigin(app.splitter);
    POINT mainScreen = app.ClientOrigin(app.main);
    DragSplitter(app, POINT{300, 2}, 0, (mainScreen.y - 30) - (barScreen.y + 2));
    CheckStacked(app, (int(c.cy) - 4) / 2, "after dragging the bar past the top edge");
    barScreen = app.ClientOrigin(app.splitter);
    DragSplitter(app, POINT{300, 0}, 0, mainScreen.y - barScreen.y);
    CheckStacked(app, (int(c.cy) - 4) / 2, "after dragging the bar exactly to the top edge");

    // Past the bottom edge: ResultPane has no area left.
    barScreen = app.ClientOrigin(app.splitter);
    int below = int(c.cy) + 40;
    DragSplitter(app, POINT{300, 0}, 0, below - (barScreen.y - mainScreen.y));
    CheckStacked(app, below, "after dragging the bar past the bottom edge");
    CHECK(BoxOf(app, app.result).h == 0, "ResultPane keeps %d pixels of height below the edge",
          BoxOf(app, app.result).h);
    DragSplitter(app, POINT{300, 0}, 0, -(below - 200));
    CheckStacked(app, 200, "after dragging the bar back up to 200");

    // SideBySide: the bar moves horizontally, and the left edge means the middle.
    Key(app, 'P');
    Key(app, 'P');
    int splitX = BoxOf(app, app.splitter).x;
    DragSplitter(app, POINT{2, 300}, -120, 15);
    CheckSideBySide(app, splitX - 120, "SideBySide, after dragging the bar 120 pixels left");
    barScreen = app.ClientOrigin(app.splitter);
    DragSplitter(app, POINT{1, 300}, (mainScreen.x - 25) - (barScreen.x + 1), 0);
    CheckSideBySide(app, (int(c.cx) - 4) / 2,
                    "SideBySide, after dragging the bar past the left edge");
    // Far past the right edge in one move: SourcePane is wider than an offscreen may be, and
    // what shows of it is its green and its zoom label, not ResultPane's black that lay there.
    DragSplitter(app, POINT{1, 300}, 20000, 0, 1);
    CHECK(BoxOf(app, app.source).w > 16384, "SourcePane is only %d wide after the drag",
          BoxOf(app, app.source).w);
    CHECK(ClearedWithLabel(CaptureClient(app.source), kSourceGreen, int(c.cx)),
          "SourcePane wider than an offscreen does not show green and its zoom label");
    Screenshot("splitter");
    app.CloseAndCheck();
    return 0;
}

// ---- key P ----------------------------------------------------------------------------------------

int CaseKeysLayout()
{
    App app;
    if (!app.Start())
        return 1;
    PlaceMainWindow(app, 0, 0, 1000, 700);
    SIZE c = MainClientSize(app);
    int W = int(c.cx), H = int(c.cy);
    CheckStacked(app, (H - 4) / 2, "initial Stacked");
    // No rectangle marked: Single shows SourcePane; SideBySide then puts the bar at the
    // right edge (splitX = (W - 4) * W / W); Stacked takes the middle again.
    Key(app, 'P', app.result);
    CheckSingle(app, true, "P once (Single, nothing marked)");
    Key(app, 'P', app.source);
    CheckSideBySide(app, W - 4, "P twice (SideBySide from Single with SourcePane full size)");
    Key(app, 'P', app.splitter);
    CheckStacked(app, (H - 4) / 2, "P three times (Stacked from SideBySide)");

    // A rectangle dragged leftwards has a negative width: Single still shows SourcePane.
    RubberBand(app, POINT{200, 100}, POINT{150, 160});
    Key(app, 'P');
    CheckSingle(app, true, "Single with a leftwards rectangle");
    // Marking a rectangle in Single switches to ResultPane at the release.
    RubberBand(app, POINT{100, 100}, POINT{300, 250});
    CheckSingle(app, false, "Single after marking a rectangle");
    // From Single with a rectangle, SourcePane is 0 x 0: SideBySide takes the middle.
    Key(app, 'P');
    CheckSideBySide(app, (W - 4) / 2, "SideBySide from Single with a rectangle marked");
    Key(app, 'P');
    CheckStacked(app, (H - 4) / 2, "Stacked from SideBySide");
    Key(app, 'P');
    CheckSingle(app, false, "Single with a rectangle marked");
    // A press and release without a move marks a rectangle of size 0, which counts as
    // marked: in Single the release shows ResultPane.
    Key(app, 'P');
    Key(app, 'P');
    RubberBand(app, POINT{300, 100}, POINT{250, 100});
    Key(app, 'P');
    CheckSingle(app, true, "Single after a leftwards rectangle");
    Send(app.source, WM_LBUTTONDOWN, MK_LBUTTON, PackPoint(120, 130));
    Send(app.source, WM_LBUTTONUP, 0, PackPoint(120, 130));
    CheckSingle(app, false, "Single after a click without a move (a rectangle of size 0)");
    // Undoing that rectangle brings the leftwards one back, and with it SourcePane.
    Key(app, 'Z');
    CheckSingle(app, true, "Z after the click: the leftwards rectangle again");
    Key(app, 'Y');
    CheckSingle(app, false, "Y: the rectangle of size 0 again");
    Screenshot("keys-layout");
    app.CloseAndCheck();
    return 0;
}

// ---- translucency ---------------------------------------------------------------------------------

static bool Layered(App& app)
{
    return (GetWindowLongW(app.main, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

int CaseTranslucency()
{
    App app;
    if (!app.Start())
        return 1;
    Key(app, '0');
    CHECK(!Layered(app), "key 0 before any key 5 made MainWindow layered");
    Key(app, VK_NUMPAD5);
    CHECK(!Layered(app), "the keypad 5 made MainWindow layered");
    Key(app, '5', app.result);
    CHECK(Layered(app), "key 5 did not set WS_EX_LAYERED");
    COLORREF key = 1;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (CHECK(GetLayeredWindowAttributes(app.main, &key, &alpha, &flags),
              "GetLayeredWindowAttributes failed (%lu)", GetLastError())) {
        CHECK(key == RGB(0, 0, 0) && alpha == 127 && flags == (LWA_COLORKEY | LWA_ALPHA),
              "layered attributes key 0x%06lx alpha %u flags %lu, expected black, 127, colour key "
              "+ alpha",
              key, alpha, flags);
    }
    Screenshot("translucent");
    Key(app, '5');
    CHECK(Layered(app), "key 5 pressed twice left MainWindow opaque");
    Key(app, VK_NUMPAD0);
    CHECK(Layered(app), "the keypad 0 removed WS_EX_LAYERED");
    Key(app, '0', app.source);
    CHECK(!Layered(app), "key 0 did not remove WS_EX_LAYERED");
    Key(app, '0');
    CHECK(!Layered(app), "key 0 twice made MainWindow layered");
    app.CloseAndCheck();
    return 0;
}

// ---- About box through the accelerator table ----------------------------------------------------

static bool CheckAboutOpensWith(App& app, const char* how, const char* shot,
                                const std::function<void()>& press)
{
    int before = gFailures;
    press();
    HWND box = WaitProgramDialog(app, 5000, L"バージョン情報");
    if (!Check(box != nullptr, "%s: no About box \"バージョン情報\" within 5 s", how))
        return false;
    CHECK(GetWindow(box, GW_OWNER) == app.main, "%s: the About box is not owned by MainWindow",
          how);
    std::wstring text = MessageText(box);
    std::wstring want = L"vorlin version " + Widen(VORLIN_VERSION) + L"\n";
    CHECK(text.compare(0, want.size(), want) == 0 && text.size() > want.size(),
          "%s: About text is '%s', expected 'vorlin version %s' and a second line", how,
          Narrow(text).c_str(), VORLIN_VERSION);
    Screenshot(shot);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    CHECK(WaitFor([&] { return !IsWindow(box); }, 5000), "%s: the About box did not close on OK",
          how);
    return gFailures == before;
}

// The keys help: opened by the menu (32786) or F1, a dialog owned by MainWindow whose list is
// the command table's keys and the mouse actions, and closed by Esc, Enter or its button.
// While it is open a close or another help command opens nothing more.
static void CheckKeysHelp(App& app)
{
    struct Way {
        const char* open;
        std::function<void()> press;
        const char* close;
    };
    const Way ways[] = {
        {"menu 32786", [&] { PostMessageW(app.main, WM_COMMAND, 32786, 0); }, "Esc"},
        {"key F1", [&] { PostKey(app, VK_F1); }, "Enter"},
        {"key F1 on ResultPane", [&] { PostMessageW(app.result, WM_KEYDOWN, VK_F1, 1); }, "button"},
        {"menu 32786 again", [&] { PostMessageW(app.main, WM_COMMAND, 32786, 0); },
         "Esc on the list"},
    };
    for (const Way& way : ways) {
        way.press();
        HWND help = WaitProgramDialog(app, 5000, L"キーとマウス");
        if (!CHECK(help != nullptr, "%s opened no keys help", way.open))
            continue;
        CHECK(GetWindow(help, GW_OWNER) == app.main, "%s: the keys help is not MainWindow's",
              way.open);
        HWND list = GetDlgItem(help, 1001);
        wchar_t buffer[8192] = L"";
        if (list)
            Send(list, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer));
        // the table's keys and the mouse actions (whose lines the unit tests check)
        const std::wstring shown = buffer;
        CHECK(shown == KeysHelpText(), "%s: the keys help shows '%s'", way.open,
              Narrow(shown).c_str());
        if (way.close == std::string("Esc")) {
            Screenshot("keys-help");
            // a close and a second help command while it is open: nothing more opens
            PostMessageW(app.main, WM_CLOSE, 0, 0);
            PostMessageW(app.main, WM_COMMAND, 32786, 0);
            Pump(500);
            CHECK(app.Running() && IsWindow(help) && CountProgramDialogs(app) == 1,
                  "a close or a second help command during the keys help: running %d, help %d, "
                  "%d dialogs",
                  app.Running(), IsWindow(help), CountProgramDialogs(app));
        }
        HWND button = GetDlgItem(help, IDOK);
        if (way.close == std::string("button"))
            PostMessageW(button, BM_CLICK, 0, 0);
        else if (way.close ==
                 std::string("Esc on the list"))  // a click in the list moves the focus there
            PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 1);
        else
            PostMessageW(button, WM_KEYDOWN,
                         way.close == std::string("Esc") ? VK_ESCAPE : VK_RETURN, 1);
        CHECK(WaitFor([&] { return !IsWindow(help); }, 5000), "the keys help did not close by %s",
              way.close);
    }
}

int CaseAbout()
{
    App app;
    if (!app.Start())
        return 1;
    CheckAboutOpensWith(app, "WM_COMMAND 104", "about-command",
                        [&] { PostMessageW(app.main, WM_COMMAND, 104, 0); });
    // A posted character bypasses the accelerator check, which reads the real Alt state:
    // real key input from the X server.
    SetForegroundWindow(app.main);
    Pump(100);
    CheckAboutOpensWith(app, "Alt+'?' typed", "about-alt-question",
                        [&] { RealInput("key alt+question"); });
    SetForegroundWindow(app.main);
    Pump(100);
    CheckAboutOpensWith(app, "Alt+'/' typed", "about-alt-slash",
                        [&] { RealInput("key alt+slash"); });
    CheckKeysHelp(app);
    // A WM_COMMAND the menu does not know gets the default handling: nothing happens.
    PostMessageW(app.main, WM_COMMAND, 40000, 0);
    Pump(300);
    CHECK(app.Running() && !FindProgramDialog(app), "WM_COMMAND 40000 did something");
    app.CloseAndCheck();
    return 0;
}

// ---- ending the program ----------------------------------------------------------------------------

// Draws one column curve on ResultPane: an edit, so the work is unsaved.
static void OneStroke(App& app) { Stroke(app, {{100, 40}, {104, 120}, {102, 200}}); }

// WM_QUERYENDSESSION, sent as the system sends it, from another thread: the driver's own
// thread answers the question meanwhile. The window's answer, or -1 when none came.
static LRESULT QueryEndSession(App& app, int button, const char* when)
{
    LRESULT answer = -1;
    std::thread asking([&] {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(app.main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 30000,
                                &result))
            answer = LRESULT(result);
    });
    AnswerCloseQuestion(app, button, when);
    WaitFor([&] { return answer != -1; }, 5000);
    asking.join();
    return answer;
}

// With nothing unsaved, the menu's exit (105) closes at once; with unsaved work every way of
// closing asks first: Cancel keeps the window, No closes it, Yes saves the scene and closes
// only once it is written.
int CaseMenuExit()
{
    {
        App app;
        if (!app.Start())
            return 1;
        PostMessageW(app.main, WM_COMMAND, 105, 0);
        DWORD code = 12345;
        bool ended = app.WaitExit(10000, &code);
        CHECK(ended, "the Exit command (105) did not end the program within 10 s");
        CHECK(!ended || code == 0, "exit code %lu after the Exit command, expected 0", code);
    }
    App app;
    if (!StartFullSize(app))
        return 1;
    OneStroke(app);
    CHECK(TextOf(app.main) == L"*vorlin", "the title after a stroke is '%s'",
          Narrow(TextOf(app.main)).c_str());
    auto stays = [&](const char* when) {
        Pump(300);
        CHECK(app.Running() && IsWindowVisible(app.main) && CountProgramDialogs(app) == 0,
              "%s: the program ended or left a dialog open", when);
    };
    PostMessageW(app.main, WM_COMMAND, 105, 0);
    AnswerCloseQuestion(app, IDCANCEL, "menu exit, Cancel");
    stays("menu exit answered Cancel");
    PostMessageW(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    Screenshot("close-question");
    AnswerCloseQuestion(app, IDCANCEL, "close box, Cancel");
    stays("close box answered Cancel");
    // Yes, then the scene dialog cancelled: nothing is written and the window stays.
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    AnswerCloseQuestion(app, IDYES, "WM_CLOSE, Yes");
    HWND save = WaitProgramDialog(app, 10000);
    if (CHECK(save && GetWindow(save, GW_OWNER) == app.main,
              "Yes opened no scene dialog owned by MainWindow")) {
        PostMessageW(save, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        WaitFor([&] { return !IsWindow(save); }, 5000);
    }
    stays("Yes with the save cancelled");
    CHECK(TextOf(app.main) == L"*vorlin", "the title after a cancelled save is '%s'",
          Narrow(TextOf(app.main)).c_str());
    // Yes, and a save that fails (the scene's file name is taken by a folder): the window stays.
    CreateDirectoryW(WinPath(OutPath("blocked.scene.json")).c_str(), nullptr);
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    AnswerCloseQuestion(app, IDYES, "WM_CLOSE, Yes, a save that fails");
    FileThroughDialogOf(
        app, "the failing save of Yes", [] {}, WinPath(OutPath("blocked")), "");
    stays("Yes with a save that failed");
    CHECK(TextOf(app.main) == L"*vorlin", "the title after a failed save is '%s'",
          Narrow(TextOf(app.main)).c_str());
    // The end of the session asks too: Cancel refuses it, No lets it go (and the program, which
    // the system would end, is still up until then).
    CHECK(QueryEndSession(app, IDCANCEL, "end of session, Cancel") == FALSE,
          "WM_QUERYENDSESSION answered Cancel did not refuse the end of the session");
    stays("the end of the session refused");
    CHECK(QueryEndSession(app, IDNO, "end of session, No") == TRUE,
          "WM_QUERYENDSESSION answered No refused the end of the session");
    // Alt+F4 typed, Yes, and the scene written: the program ends, the scene on disk.
    const std::string scene = OutPath("on-close.scene.json");
    SetForegroundWindow(app.main);
    Pump(100);
    RealInput("key alt+F4");
    AnswerCloseQuestion(app, IDYES, "Alt+F4, Yes");
    FileThroughDialogOf(
        app, "the save of Yes", [] {}, WinPath(OutPath("on-close")), scene);
    DWORD code = 12345;
    bool ended = app.WaitExit(10000, &code);
    CHECK(ended && code == 0, "the program did not end after Yes saved the scene (%lu)", code);
    CHECK(FileSize(scene) > 0, "Yes did not write the scene");

    // No closes at once, whatever is unsaved.
    App other;
    if (!StartFullSize(other))
        return 1;
    OneStroke(other);
    PostMessageW(other.main, WM_COMMAND, 105, 0);
    AnswerCloseQuestion(other, IDNO, "menu exit, No");
    ended = other.WaitExit(10000, &code);
    CHECK(ended && code == 0, "No did not end the program (%lu)", code);
    return 0;
}

// A close while the unowned PNG save dialog is open: the dialog keeps its work and comes to
// the front, and no second dialog opens (neither the question on close, though the work is
// unsaved, nor another save dialog); the export is then saved, and the program closes.
int CaseSaveClose()
{
    App app;
    if (!StartFullSize(app))
        return 1;
    OneStroke(app);
    PostKey(app, 'S');
    HWND dialog = WaitProgramDialog(app, 10000);
    if (!CHECK(dialog != nullptr, "key S opened no save dialog"))
        return 1;
    Screenshot("save-dialog");
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    PostMessageW(app.main, WM_COMMAND, 105, 0);
    PostMessageW(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostKey(app, 'S');
    PostMessageW(app.main, WM_COMMAND, 32784, 0);
    Pump(800);
    CHECK(app.Running() && IsWindow(dialog) && CountProgramDialogs(app) == 1,
          "closing during the save dialog: running %d, dialog %d, %d dialogs", app.Running(),
          IsWindow(dialog), CountProgramDialogs(app));
    const std::string png = OutPath("during-close.png");
    FileThroughDialogOf(
        app, "the save dialog closed on", [] {}, WinPath(png), png);
    Image saved;
    CHECK(LoadPng(png, saved) && saved.width > 0, "the export was not saved after the closes");
    app.CloseAndCheck();
    return 0;
}
