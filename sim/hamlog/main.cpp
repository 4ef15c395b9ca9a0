// The HAMLOG stand-in: presents HAMLOG's windows on one GUI thread and takes commands on its
// control channel (README.md).
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "CommandProcessor.h"
#include "ControlWindow.h"
#include "Instrument.h"
#include "KeyLog.h"
#include "KeyTyper.h"
#include "ParentWatch.h"
#include "StandInOptions.h"
#include "WindowTree.h"

using namespace omvar::sim::hamlog;

namespace {

int run() {
    const StandInOptions options = StandInOptions::parse(commandLineArguments());
    KeyLog keyLog;
    KeyTyper typer;
    WindowTree windows(options, keyLog);
    // Like any GUI program the stand-in translates key-downs into characters; its own typed
    // keys bring their characters along (KeyTyper), so they are not translated twice.
    auto dispatch = [&typer](MSG& msg) {
        const bool synthetic = KeyTyper::isSynthetic(msg);
        if (!synthetic) {
            TranslateMessage(&msg);
        }
        DispatchMessageW(&msg);
        if (synthetic) {
            typer.retrieved(msg);
        }
    };
    Instrument instrument(dispatch);
    CommandProcessor processor(windows, keyLog, typer, instrument);
    ControlWindow control(processor, instrument);
    ParentWatch parentWatch(options.parentProcess, windows.application());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        dispatch(msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    try {
        return run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "hamlog_standin: %s\n", error.what());
        return 1;
    }
}
