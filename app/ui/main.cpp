// Vetrin.exe: the application object runs the program.
#include "CVetrinApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    omvar::Vetrin::CVetrinApp app;
    return app.Run();
}
