#pragma once

#include <string>
#include <string_view>

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

private:
    Reply dispatch(std::wstring_view command, std::wstring_view args);

    WindowTree& windows_;
    KeyLog& keyLog_;
    KeyTyper& typer_;
    KeyInjector& injector_;
    Instrument& instrument_;
};

}  // namespace omvar::sim::hamlog
