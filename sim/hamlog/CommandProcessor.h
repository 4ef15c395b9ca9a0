#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace omvar::sim::hamlog {

class WindowTree;
class KeyLog;
class KeyTyper;
class KeyInjector;
class Instrument;

// Runs the control channel's text commands on the stand-in's GUI thread (list in README.md).
class CommandProcessor {
public:
    struct Reply {
        bool ok;
        std::wstring text;  // the answer, or the error
    };

    CommandProcessor(WindowTree& windows, KeyLog& keyLog, KeyTyper& typer, KeyInjector& injector,
                     Instrument& instrument)
        : windows_(windows),
          keyLog_(keyLog),
          typer_(typer),
          injector_(injector),
          instrument_(instrument) {}

    Reply run(std::wstring_view line);

    // The milliseconds of a `hang` asked for by the last command (0: none), cleared by taking
    // them: the control window starts the hang once the command has been answered.
    DWORD takeRequestedHang() { return std::exchange(requestedHang_, 0); }

private:
    Reply dispatch(std::wstring_view command, std::wstring_view args);

    WindowTree& windows_;
    KeyLog& keyLog_;
    KeyTyper& typer_;
    KeyInjector& injector_;
    Instrument& instrument_;
    DWORD requestedHang_ = 0;
};

}  // namespace omvar::sim::hamlog
