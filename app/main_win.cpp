// The Windows GUI entry point.
#include "app/windows_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    return RunProgram(instance, showCommand);
}
