// The driver's test cases, one function per sub-command, and what they share.
#pragma once

#include "driver.h"

// Starts the program and gives MainWindow nearly the whole 1280 x 800 desktop.
bool StartFullSize(App& app);
// StartFullSize, then the fixture coords.png pasted as the source (key V).
bool StartWithCoordsPicture(App& app);
// Moves and sizes MainWindow (its outer rectangle) and waits for the relayout.
void PlaceMainWindow(App& app, int x, int y, int width, int height);
// A child's rectangle in MainWindow client coordinates (x, y, width, height).
struct PaneBox {
    int x, y, w, h;
};
PaneBox BoxOf(App& app, HWND pane);
SIZE MainClientSize(App& app);
bool CheckBox(App& app, HWND pane, const char* name, PaneBox want, const char* when);
// MainWindow's title becomes `want` within a few seconds.
bool CheckTitle(App& app, const std::wstring& want, const char* when);

struct SceneData {
    std::string name;
    Image expected;
    SceneMesh mesh;
    std::string replay;
};
bool LoadScene(const std::string& name, SceneData& scene);

bool IsRedish(uint32_t rgb);
bool IsGreenish(uint32_t rgb);
// A pane painted without an offscreen: `colour` below the zoom label's rows, in the first
// `width` columns, and the label's white halo on them.
bool ClearedWithLabel(const Image& pane, uint32_t colour, int width);
// Whether any pixel of the box (inclusive) satisfies pred.
bool AnyIn(const Image& image, int x0, int y0, int x1, int y1, bool (*pred)(uint32_t));

int CaseStartup();
int CaseResize();
int CaseSplitter();
int CaseKeysLayout();
int CaseTranslucency();
int CaseAbout();
int CaseMenuExit();
int CaseSaveClose();

int CaseRubberBand();
int CaseRubberZoom();
int CaseWheelRouting();
int CaseEdit();
int CaseDelete();
int CaseNodeDrag();
int CaseResultZoom();
int CasePaintLayers();
int CaseDropSource();
int CaseDropResult();
int CaseThresholds();
int CaseExtremeZoom();
int CaseRefineHeld();

int CaseReplay();
int CaseStorm();
int CaseCopyEmpty();
int CaseCopy3x2();
int CasePasteText();
int CaseSaveCancel();
int CaseKeysCopy();
int CaseKeysMidstroke();
int CaseSceneFiles();

int CaseBench();
int CaseDemo();
