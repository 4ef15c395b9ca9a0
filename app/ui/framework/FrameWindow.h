#pragma once

#include "Commands.h"
#include "ControlBar.h"
#include "Window.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace omvar::ui {

class BarDrag;
class Document;
class DockLayout;
class StatusBar;
class View;

// The main window of a single-document program: menu, accelerators and icon from one resource
// id, control bars docked at its edges (or floating), a status bar at the bottom and the view in
// the room left.
// Commands from the menu, the accelerators, the tool bar and the dialog bars are routed to the
// view, the document, the frame and the application in turn (the Edit commands first to a bar's
// edit field while it has the focus); their enabled and checked states
// are asked for when a menu opens and, for the bars, at idle time.
class FrameWindow : public Window {
public:
    static constexpr UINT kViewId = 0xE900;

    FrameWindow();
    ~FrameWindow() override;

    // Creates the window (hidden) with the view in it.
    bool LoadFrame(UINT resourceId, View* view, Document* document);
    // First layout, then shows the window with the given command.
    void InitialUpdateFrame(int showCommand);
    void updateTitle();

    View* view() const { return view_; }
    Document* document() const { return document_; }

    // Bars: each added bar docks at the end of the edge's bars; the status bar goes below
    // them all. The bars that may move (ControlBar::enableDocking) move where the operator
    // drags them by their grippers.
    void addControlBar(ControlBar& bar, DockEdge edge = DockEdge::Top);
    void setStatusBar(StatusBar& bar);
    void ShowControlBar(ControlBar& bar, bool show);
    // At that place of the edge's bars (the end when past it).
    void DockControlBar(ControlBar& bar, DockEdge edge, std::size_t index = SIZE_MAX);
    // In a window of its own, with that top-left (screen coordinates).
    void FloatControlBar(ControlBar& bar, POINT topLeft);
    void toggleFloating(ControlBar& bar);
    // A press on the bar's gripper, at that screen point: the drag takes over the mouse.
    void beginBarDrag(ControlBar& bar, POINT screenPoint);
    const DockLayout& dockLayout() const { return *dock_; }
    ControlBar* controlBar(UINT barId) const;
    void RecalcLayout();
    // Every bar's visibility and place, saved in the profile under sections "<name>-Summary" and
    // "<name>-Bar<n>" (BarState.h). A state without a place for every bar that moves, a damaged
    // one, or one that floats a bar off every screen leaves the bars where the program put them;
    // the visibility saved is still taken.
    void SaveBarState(const std::wstring& name) const;
    void LoadBarState(const std::wstring& name);

    // Command routing.
    bool routeCommand(UINT id);
    bool hasCommandHandler(UINT id) const;
    // The first updater along the route; false when there is none.
    bool updateCommand(CommandUpdate& update);
    // Runs the updater and tells whether the command is enabled: as the updater says (enabled
    // when it leaves that alone), or without an updater whether anyone handles it.
    bool commandEnabled(CommandUpdate& update);
    CommandMap& commands() { return commands_; }

    // Idle time: the bars' controls and panes.
    virtual void OnIdleUpdate();
    // The text of pane 0: a command prompt while a menu item is selected, the idle text
    // otherwise.
    void setMessageText(const std::wstring& text);
    // The status text for an id: field 0 of its string resource. For IDS_IDLE_MESSAGE a program
    // may answer with its own state.
    virtual std::wstring GetMessageString(UINT id);

    bool PreTranslateMessage(MSG& message) override;

protected:
    // The window's style and placement before creation.
    virtual void PreCreateWindow(CreateParams& params);
    int OnCreate(CREATESTRUCTW& create) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnClose() override;
    void OnDestroy() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Whether the title shows the document's name ("name - title").
    bool addDocumentToTitle_ = true;

private:
    // The edit field of a bar (any EDIT in the frame but the view) that has the focus, or null.
    HWND focusedField() const;
    // The command maps in route order: the focused field's Edit commands, view, document,
    // frame, application (null when absent).
    std::array<const CommandMap*, 5> commandRoute() const;
    void updateMenu(HMENU popup);

    View* view_ = nullptr;
    Document* document_ = nullptr;
    UINT resourceId_ = 0;
    HACCEL accelerators_ = nullptr;
    std::vector<ControlBar*> bars_;
    StatusBar* statusBar_ = nullptr;
    std::unique_ptr<DockLayout> dock_;
    std::unique_ptr<BarDrag> drag_;
    CommandMap commands_;
    CommandMap fieldCommands_;  // the Edit commands on focusedField()
};

}  // namespace omvar::ui
