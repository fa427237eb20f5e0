// Entry of the driver: reads the paths the suite runner hands over and runs one case.
//   vorlin_driver.exe CASE [ARGS...]
// Environment: VORLIN_EXE (Windows path of vorlin.exe), VORLIN_OUT (Unix folder for this
// case's files), VORLIN_DATA (Unix folder of fixtures and expected images), VORLIN_INPUT
// (Unix folder of the real-input helper's requests; optional).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cases.h"

namespace {

struct Case {
    const char* name;
    int (*run)();
};

constexpr Case kCases[] = {
    {"startup", CaseStartup},
    {"resize", CaseResize},
    {"splitter", CaseSplitter},
    {"keys-layout", CaseKeysLayout},
    {"translucency", CaseTranslucency},
    {"about", CaseAbout},
    {"menu-exit", CaseMenuExit},
    {"save-close", CaseSaveClose},
    {"rubber-band", CaseRubberBand},
    {"rubber-zoom", CaseRubberZoom},
    {"wheel-routing", CaseWheelRouting},
    {"edit", CaseEdit},
    {"delete", CaseDelete},
    {"node-drag", CaseNodeDrag},
    {"result-zoom", CaseResultZoom},
    {"paint-layers", CasePaintLayers},
    {"drop-source", CaseDropSource},
    {"drop-result", CaseDropResult},
    {"thresholds", CaseThresholds},
    {"extreme-zoom", CaseExtremeZoom},
    {"replay", CaseReplay},
    {"copy-empty", CaseCopyEmpty},
    {"copy-3x2", CaseCopy3x2},
    {"paste-text", CasePasteText},
    {"save-cancel", CaseSaveCancel},
    {"keys-copy", CaseKeysCopy},
    {"keys-midstroke", CaseKeysMidstroke},
    {"scene-files", CaseSceneFiles},
    {"bench", CaseBench},
    {"demo", CaseDemo},
    {"storm", CaseStorm},
    {"refine-held", CaseRefineHeld},
};

std::string EnvUtf8(const wchar_t* name)
{
    const wchar_t* v = _wgetenv(name);
    return v ? Narrow(v) : std::string();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        std::printf("usage: vorlin_driver CASE [ARGS...]\ncases:");
        for (const Case& c : kCases)
            std::printf(" %s", c.name);
        std::printf("\n");
        return 2;
    }
    const wchar_t* exe = _wgetenv(L"VORLIN_EXE");
    gContext.exe = exe ? exe : L"";
    gContext.outDir = EnvUtf8(L"VORLIN_OUT");
    gContext.dataDir = EnvUtf8(L"VORLIN_DATA");
    gContext.inputDir = EnvUtf8(L"VORLIN_INPUT");
    for (int i = 2; i < argc; ++i)
        gContext.args.push_back(argv[i]);
    if (gContext.exe.empty() || gContext.outDir.empty()) {
        std::printf("VORLIN_EXE and VORLIN_OUT must be set\n");
        return 2;
    }
    CreateDirectoryW(WinPath(gContext.outDir).c_str(), nullptr);
    InitDriverWindow();
    std::string name = Narrow(argv[1]);
    for (const Case& c : kCases) {
        if (name != c.name)
            continue;
        double t0 = NowMs();
        int code = c.run();
        if (gFailures)
            code = 1;
        std::printf("%s: %s, %d failed checks, %.1f s\n", c.name, code == 0 ? "passed" : "FAILED",
                    gFailures, (NowMs() - t0) / 1000.0);
        KillLeftovers();
        return code;
    }
    std::printf("unknown case %s\n", name.c_str());
    return 2;
}
