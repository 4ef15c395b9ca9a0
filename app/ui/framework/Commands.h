#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace omvar::ui {

// The state of one command as its updater sets it at idle time or when a menu opens: enabled,
// checked, and for controls and status panes the text. What the updater leaves alone stays as
// it is on screen.
class CommandUpdate {
public:
    explicit CommandUpdate(UINT id) : id_(id) {}

    UINT id() const { return id_; }
    void enable(bool on) { enabled_ = on; }
    void check(bool on) { checked_ = on; }
    void setText(std::wstring text) { text_ = std::move(text); }

    const std::optional<bool>& enabled() const { return enabled_; }
    const std::optional<bool>& checked() const { return checked_; }
    const std::optional<std::wstring>& text() const { return text_; }

private:
    UINT id_;
    std::optional<bool> enabled_;
    std::optional<bool> checked_;
    std::optional<std::wstring> text_;
};

// The commands one object handles: a handler per id (or id range) and, optionally, an updater
// that sets the command's state. The frame asks the view, the document, itself and the
// application in turn (FrameWindow::routeCommand).
class CommandMap {
public:
    using Handler = std::function<void(UINT id)>;
    using Updater = std::function<void(CommandUpdate&)>;

    void on(UINT id, std::function<void()> handler);
    void onRange(UINT first, UINT last, Handler handler);
    void onUpdate(UINT id, Updater updater);
    void onUpdateRange(UINT first, UINT last, Updater updater);

    // True when a handler ran.
    bool execute(UINT id) const;
    bool hasHandler(UINT id) const;
    // True when an updater ran.
    bool update(CommandUpdate& update) const;

private:
    // Keyed by the first id of the range.
    template <typename Function>
    struct Range {
        UINT last;
        Function function;
    };
    template <typename Function>
    static const Function* find(const std::map<UINT, Range<Function>>& ranges, UINT id);

    std::map<UINT, Range<Handler>> handlers_;
    std::map<UINT, Range<Updater>> updaters_;
};

}  // namespace omvar::ui
