// Ardmon's entry point on Windows: the application object's start-up runs
// the main window to its end, and the process ends with it.
#include <windows.h>

#include "ardmon_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    theApp.InitInstance();
    return 0;
}
