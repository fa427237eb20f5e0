// The black-box driver of vorlin.exe under Wine: starts the program, drives it with window
// messages (and real input through the suite's input helper), reads back pixels, the
// clipboard and saved files, and checks them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- checks and notes ----------------------------------------------------------------

extern int gFailures;

void Note(const char* fmt, ...);
// Records a failure (and prints it) when ok is false; returns ok.
bool Check(bool ok, const char* fmt, ...);
#define CHECK(cond, ...) Check(bool(cond), __VA_ARGS__)

// ---- run context: paths handed over by the suite runner ------------------------------

struct Context {
    std::wstring exe;      // vorlin.exe, Windows path
    std::string outDir;    // this case's folder for screenshots and saved files, Unix path
    std::string dataDir;   // fixtures and expected images made before the session, Unix path
    std::string inputDir;  // request folder of the real-input helper, Unix path; may be empty
    std::vector<std::wstring> args;  // the sub-command's own arguments
};
extern Context gContext;

std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);
// Drive Z: is the Unix root.
std::wstring WinPath(const std::string& unixPath);
std::string OutPath(const std::string& name);
std::string DataPath(const std::string& name);
bool FileExists(const std::string& unixPath);
int64_t FileSize(const std::string& unixPath);  // -1 when missing

// ---- waiting without blocking the driver's own window ----------------------------------

// Pumps the driver's messages for ms milliseconds.
void Pump(DWORD ms);
// Pumps until pred() holds or timeoutMs passes; returns pred()'s last value.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs);
double NowMs();

// ---- images -----------------------------------------------------------------------------

// Top-down 32-bit pixels 0xAARRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

bool LoadPng(const std::string& unixPath, Image& image);  // 8-bit RGBA
bool DecodePng(const std::vector<uint8_t>& bytes, Image& image);
bool SavePng(const std::string& unixPath, const Image& image);
inline uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFFu; }

// ---- the program under test --------------------------------------------------------------

struct App {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;
    HWND source = nullptr;
    HWND splitter = nullptr;
    HWND result = nullptr;

    App() = default;
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    ~App();

    // Starts vorlin.exe in the case folder and waits until its window and the three
    // children are up and idle, then parks the pointer away from it.
    bool Start();
    bool Running() const;
    // Waits for the process to end; false on timeout.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode);
    // Closes the window as the close box does and checks the exit code 0. A title marked
    // unsaved ("*vorlin...") must bring the question on close, answered No; any other title
    // must close without one.
    bool CloseAndCheck();
    void Terminate();

    RECT ClientRectOf(HWND hwnd) const;   // in MainWindow client coordinates
    POINT ClientOrigin(HWND hwnd) const;  // screen position of a client (0, 0)
};

// Terminates every process that owns a window of the program's main class.
void KillLeftovers();
// Parks the real pointer in the desktop corner the program does not cover.
void ParkPointer();

// Sends with SMTO_ABORTIFHUNG and a timeout of gSendTimeoutMs (5 s unless a case needs
// more); a timeout is a failed check.
extern DWORD gSendTimeoutMs;
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LPARAM PackPoint(int x, int y);

void Key(App& app, UINT vk, HWND target = nullptr);  // sent WM_KEYDOWN (to main by default)
void PostKey(App& app, UINT vk);                     // posted, for keys that open modal UI
// Strokes, right drags and rubber bands take pane pixels: at zoom 1, the positions the
// messages carry. A case that has changed a pane's zoom records it here, and the positions
// sent are then those that convert to the wanted pixels.
extern float gSourceZoom;
extern float gResultZoom;
int PanePosition(int pixel, float zoom);
void Stroke(App& app, const std::vector<POINT>& points);
void RightDrag(App& app, POINT from, POINT to);
void RubberBand(App& app, POINT from, POINT to);
// A wheel message to MainWindow with the given delta and screen position.
void Wheel(App& app, int delta, int screenX, int screenY);

// Repaints the window synchronously (unless told not to) and reads its client area from
// the screen.
Image CaptureClient(HWND hwnd, bool repaint = true);
// Saves a picture of the whole desktop (for a person) under the case folder.
void Screenshot(const std::string& name);

// ---- the program's own paint timings ------------------------------------------------------

// With VORLIN_PAINT_TIMINGS naming a file (a Windows path) in the driver's environment, the
// program started from it writes one line per ResultPane paint: microseconds of setup,
// clear, backdrop, warp, reuse, overlays and the final draw, then the total.
constexpr int kPaintPhases = 7;
extern const char* const kPaintPhaseNames[kPaintPhases];
struct PaintLine {
    double us[kPaintPhases + 1] = {};
    // Composed below its overlays anew, rather than from what the program kept.
    bool Composed() const { return us[1] > 0 || us[2] > 0 || us[3] > 0; }
};
std::vector<PaintLine> ReadPaintLines();
// Waits, pumping, until the program has written `count` lines.
bool WaitForPaints(size_t count);

// ---- clipboard ---------------------------------------------------------------------------

void InitDriverWindow();
bool PutBitmapOnClipboard(const Image& image);  // as a device-dependent bitmap
bool PutDibOnClipboard(const Image& image);     // as a 32-bit CF_DIB, as browsers offer one
bool PutTextOnClipboard(const wchar_t* text);
DWORD ClipboardSequence();
// A PNG file's bytes as the registered format "PNG" alone, as browsers copy images.
bool PutPngOnClipboard(const std::string& unixPath);
UINT PngClipboardFormat();
// Reads the CF_DIB block, or the data of any format; false when the clipboard holds none.
bool ReadClipboardDib(std::vector<uint8_t>& block);
bool ReadClipboardData(UINT format, std::vector<uint8_t>& block);
// Posts key C (or the given key, or with kCopyByMenu the Edit menu's copy command) and waits
// until the clipboard changes; reads the block.
inline constexpr UINT kCopyByMenu = 0x10000;
bool CopyResult(App& app, std::vector<uint8_t>& block, UINT vk = 'C');
// The block as an image (rows flipped to top-down), alpha byte kept; false when malformed.
bool DibToImage(const std::vector<uint8_t>& block, Image& image, std::string& why);

// ---- files dropped on a pane -----------------------------------------------------------

// Writes a DROPFILES block into the program's memory and posts WM_DROPFILES to the pane.
bool DropFiles(App& app, HWND pane, const std::vector<std::wstring>& files, POINT at);

// ---- save dialog -------------------------------------------------------------------------

// A visible top-level dialog (#32770) of the program's process, or null.
HWND FindProgramDialog(App& app, const wchar_t* title = nullptr);
HWND WaitProgramDialog(App& app, DWORD timeoutMs, const wchar_t* title = nullptr);
// Posts key S, types the name into the dialog and presses Save; waits for the file when
// unixPathToWatch is given.
bool SaveThroughDialog(App& app, const std::wstring& typedName, const std::string& unixPathToWatch);
// The same for the dialog of another key (M saves a scene, O opens one).
bool FileThroughDialog(App& app, UINT key, const std::wstring& typedName,
                       const std::string& unixPathToWatch);
// The same for the dialog that `open` makes appear (a posted key or menu command).
bool FileThroughDialogOf(App& app, const char* what, const std::function<void()>& open,
                         const std::wstring& typedName, const std::string& unixPathToWatch);
// A picture opened through the open dialog of a menu command (32784 the source, 32785 the
// backdrop), which must be MainWindow's and offer PNG, JPEG, BMP, GIF, TIFF, then all files.
bool OpenImageThroughMenu(App& app, UINT command, const std::wstring& path);
// When set, ReplayScript opens a scene's source through the menu's dialog instead of pasting it.
extern bool gSourceByDialog;
// The names of an open or save dialog's file types, in order.
std::vector<std::wstring> DialogFilterNames(HWND dialog);
// How many dialogs of the program are open.
int CountProgramDialogs(App& app);
// The question before unsaved work is closed away: waits for it (a message box captioned
// "vorlin" owned by MainWindow with Yes, No and Cancel), presses `button` (IDYES, IDNO,
// IDCANCEL) and waits until it is gone. False (a failed check) when it does not come.
bool AnswerCloseQuestion(App& app, int button, const char* when);
std::wstring ClassOf(HWND hwnd);
std::wstring TextOf(HWND hwnd);
// The longest static text of a dialog: a message box's message.
std::wstring MessageText(HWND dialog);

// ---- real input through the suite's helper (xdotool on the X display) ----------------

// Runs "xdotool ARGS" on the display; false when no helper answers.
bool RealInput(const std::string& xdotoolArgs);
bool HaveRealInput();

// ---- scenes prepared by the runner -----------------------------------------------------

struct SceneCurve {
    std::vector<POINT> points;
};
struct SceneMesh {
    int canvasWidth = 0;
    int canvasHeight = 0;
    std::vector<SceneCurve> columns;
    std::vector<SceneCurve> rows;
    std::vector<POINT> nodes;
};
// Replays a prepared replay script (source paste, selection, actions) in the program.
bool ReplayScript(App& app, const std::string& unixPath);
bool LoadMesh(const std::string& unixPath, SceneMesh& mesh);

// Compares the copied block (copied by key C, or by vk as CopyResult takes it), the
// clipboard's "PNG" and the saved PNG with the expected export image.
bool CheckCopyEquals(App& app, const Image& expected, const char* what, UINT vk = 'C');
bool CheckSaveEquals(App& app, const Image& expected, const std::string& fileName,
                     const char* what);
// Every pixel of `got` equals `expected`'s, alpha included.
bool CheckSameImage(const Image& got, const Image& expected, const char* what);
// Compares ResultPane's pixels at zoom 1 with the expected warp and the mesh's overlays.
// The pane shows what the export holds: no warp at all while nothing is marked.
bool CheckResultPane(App& app, const Image& expected, const SceneMesh& mesh, const char* what);

// ---- colours the program draws -----------------------------------------------------------

inline constexpr uint32_t kGreen = 0x00FF00;
inline constexpr uint32_t kBlue = 0x0000FF;
inline constexpr uint32_t kRed = 0xFF0000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kSourceGreen = 0x007F00;
