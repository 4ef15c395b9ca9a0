#include "FrameWindow.h"

#include "Application.h"
#include "BarDrag.h"
#include "BarState.h"
#include "ControlBar.h"
#include "DockLayout.h"
#include "Document.h"
#include "EditCommands.h"
#include "RecentFileList.h"
#include "StandardIds.h"
#include "StatusBar.h"
#include "Strings.h"
#include "View.h"

#include <commctrl.h>

#include <iterator>

namespace omvar::ui {

namespace {

// An edit control's own editing keys: cut, copy, paste and undo in their Ctrl, Shift and Alt
// forms. The accelerators map some of them to the Edit commands.
bool isEditingKey(const MSG& message) {
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool alt = GetKeyState(VK_MENU) < 0;
    const WPARAM key = message.wParam;
    if (message.message == WM_SYSKEYDOWN) {
        return key == VK_BACK && alt && !ctrl && !shift;
    }
    if (message.message != WM_KEYDOWN || alt) {
        return false;
    }
    if (ctrl && !shift) {
        return key == 'X' || key == 'C' || key == 'V' || key == 'Z' || key == VK_INSERT;
    }
    if (shift && !ctrl) {
        return key == VK_DELETE || key == VK_INSERT;
    }
    return false;
}

bool isEditControl(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return lstrcmpiW(className, WC_EDITW) == 0;
}

}  // namespace

FrameWindow::FrameWindow()
    : dock_(std::make_unique<DockLayout>(*this)), drag_(std::make_unique<BarDrag>(*dock_)) {
    // The tool bar and the status bar have their command's id as bar id.
    static_assert(ID_VIEW_STATUS_BAR == ID_VIEW_TOOLBAR + 1);
    commands_.onRange(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, [this](UINT id) {
        if (ControlBar* bar = controlBar(id)) {
            ShowControlBar(*bar, !bar->isVisible());
        }
    });
    commands_.onUpdateRange(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, [this](CommandUpdate& update) {
        ControlBar* bar = controlBar(update.id());
        update.enable(bar != nullptr);
        update.check(bar != nullptr && bar->isVisible());
    });
    addEditCommands(fieldCommands_, [] { return GetFocus(); });
}

FrameWindow::~FrameWindow() = default;

void FrameWindow::PreCreateWindow(CreateParams&) {}

bool FrameWindow::LoadFrame(UINT resourceId, View* view, Document* document) {
    resourceId_ = resourceId;
    view_ = view;
    document_ = document;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CreateParams params;
    params.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.icon = LoadIconW(instance, MAKEINTRESOURCEW(resourceId));
    params.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    params.menuOrId = LoadMenuW(instance, MAKEINTRESOURCEW(resourceId));
    params.title = stringField(loadString(resourceId), 0);
    accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(resourceId));
    PreCreateWindow(params);
    if (!create(params)) {
        if (params.menuOrId != nullptr) {
            DestroyMenu(params.menuOrId);
        }
        return false;
    }
    return true;
}

int FrameWindow::OnCreate(CREATESTRUCTW& create) {
    if (Window::OnCreate(create) != 0) {
        return -1;
    }
    if (view_ != nullptr && !view_->CreateView(*this)) {
        return -1;
    }
    return 0;
}

void FrameWindow::InitialUpdateFrame(int showCommand) {
    RecalcLayout();
    ShowWindow(hwnd(), showCommand);
    if (showCommand != SW_HIDE && view_ != nullptr) {
        SetFocus(view_->hwnd());
    }
    UpdateWindow(hwnd());
}

void FrameWindow::updateTitle() {
    std::wstring title = stringField(loadString(resourceId_), 0);
    if (addDocumentToTitle_ && document_ != nullptr) {
        title = document_->title() + L" - " + title;
    }
    if (text() != title) {
        setText(title);
    }
}

void FrameWindow::addControlBar(ControlBar& bar, DockEdge edge) {
    bars_.push_back(&bar);
    dock_->dock(bar, edge, SIZE_MAX);
}

void FrameWindow::setStatusBar(StatusBar& bar) {
    statusBar_ = &bar;
}

ControlBar* FrameWindow::controlBar(UINT barId) const {
    for (ControlBar* bar : bars_) {
        if (bar->barId() == barId) {
            return bar;
        }
    }
    if (statusBar_ != nullptr && static_cast<ControlBar*>(statusBar_)->barId() == barId) {
        return static_cast<ControlBar*>(statusBar_);
    }
    return nullptr;
}

void FrameWindow::ShowControlBar(ControlBar& bar, bool show) {
    ShowWindow(bar.hwnd(), show ? SW_SHOWNA : SW_HIDE);
    dock_->showFloating(IsWindowVisible(hwnd()) != FALSE);
    RecalcLayout();
}

void FrameWindow::DockControlBar(ControlBar& bar, DockEdge edge, std::size_t index) {
    dock_->dock(bar, edge, index);
}

void FrameWindow::FloatControlBar(ControlBar& bar, POINT topLeft) {
    dock_->floatAt(bar, topLeft);
}

void FrameWindow::toggleFloating(ControlBar& bar) {
    dock_->toggleFloating(bar);
}

void FrameWindow::beginBarDrag(ControlBar& bar, POINT screenPoint) {
    drag_->begin(bar, screenPoint);
}

void FrameWindow::RecalcLayout() {
    if (hwnd() == nullptr) {
        return;
    }
    RECT room = clientRect();
    if (statusBar_ != nullptr && static_cast<ControlBar*>(statusBar_)->isVisible()) {
        ControlBar* status = static_cast<ControlBar*>(statusBar_);
        const int width = room.right - room.left;
        const int height = status->layoutHeight(width);
        SetWindowPos(status->hwnd(), nullptr, room.left, room.bottom - height, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        room.bottom -= height;
    }
    const RECT view = dock_->arrange(room);
    if (view_ != nullptr && view_->hwnd() != nullptr) {
        SetWindowPos(view_->hwnd(), nullptr, view.left, view.top, view.right - view.left,
                     view.bottom - view.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FrameWindow::SaveBarState(const std::wstring& name) const {
    std::vector<SavedBar> saved;
    std::vector<ControlBar*> all = bars_;
    if (statusBar_ != nullptr) {
        all.push_back(static_cast<ControlBar*>(statusBar_));
    }
    for (const ControlBar* bar : all) {
        SavedBar entry;
        entry.id = bar->barId();
        entry.visible = bar->isVisible();
        saved.push_back(entry);
    }
    dock_->save(saved);
    writeBarState(Application::current()->profile(), name, saved);
}

void FrameWindow::LoadBarState(const std::wstring& name) {
    const std::vector<SavedBar> saved = readBarState(Application::current()->profile(), name);
    for (const SavedBar& entry : saved) {
        if (ControlBar* bar = controlBar(entry.id); bar != nullptr && entry.visible) {
            ShowWindow(bar->hwnd(), *entry.visible ? SW_SHOWNA : SW_HIDE);
        }
    }
    // Without a whole layout the bars stay where the program docked them.
    dock_->restore(saved);
    dock_->showFloating(IsWindowVisible(hwnd()) != FALSE);
    RecalcLayout();
}

HWND FrameWindow::focusedField() const {
    HWND focus = GetFocus();
    const bool field = focus != nullptr && isEditControl(focus) && IsChild(hwnd(), focus) &&
                       (view_ == nullptr || focus != view_->hwnd());
    return field ? focus : nullptr;
}

std::array<const CommandMap*, 5> FrameWindow::commandRoute() const {
    Application* app = Application::current();
    return {focusedField() != nullptr ? &fieldCommands_ : nullptr,
            view_ != nullptr ? &view_->commands() : nullptr,
            document_ != nullptr ? &document_->commands() : nullptr, &commands_,
            app != nullptr ? &app->commands() : nullptr};
}

bool FrameWindow::routeCommand(UINT id) {
    for (const CommandMap* map : commandRoute()) {
        if (map != nullptr && map->execute(id)) {
            return true;
        }
    }
    return false;
}

bool FrameWindow::hasCommandHandler(UINT id) const {
    for (const CommandMap* map : commandRoute()) {
        if (map != nullptr && map->hasHandler(id)) {
            return true;
        }
    }
    return false;
}

bool FrameWindow::updateCommand(CommandUpdate& update) {
    for (const CommandMap* map : commandRoute()) {
        if (map != nullptr && map->update(update)) {
            return true;
        }
    }
    return false;
}

bool FrameWindow::commandEnabled(CommandUpdate& update) {
    if (updateCommand(update)) {
        return update.enabled().value_or(true);
    }
    // A command nobody handles is shown disabled.
    return hasCommandHandler(update.id());
}

void FrameWindow::updateMenu(HMENU popup) {
    if (Application* app = Application::current(); app != nullptr && app->recentFiles()) {
        app->recentFiles()->updateMenu(popup);
    }
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<UINT>(-1)) {
            continue;  // separators and submenus
        }
        CommandUpdate update(id);
        const bool enabled = commandEnabled(update);
        EnableMenuItem(popup, static_cast<UINT>(i),
                       MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
        if (update.checked()) {
            CheckMenuItem(popup, static_cast<UINT>(i),
                          MF_BYPOSITION | (*update.checked() ? MF_CHECKED : MF_UNCHECKED));
        }
        if (update.text()) {
            ModifyMenuW(popup, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, id,
                        update.text()->c_str());
        }
    }
}

void FrameWindow::OnIdleUpdate() {
    for (ControlBar* bar : bars_) {
        if (bar->isVisible()) {
            bar->updateCommands();
        }
    }
    if (statusBar_ != nullptr && static_cast<ControlBar*>(statusBar_)->isVisible()) {
        static_cast<ControlBar*>(statusBar_)->updateCommands();
    }
}

void FrameWindow::setMessageText(const std::wstring& text) {
    if (statusBar_ != nullptr) {
        statusBar_->setPaneText(0, text);
    }
}

std::wstring FrameWindow::GetMessageString(UINT id) {
    return stringField(loadString(id), 0);
}

bool FrameWindow::PreTranslateMessage(MSG& message) {
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
        // In an edit other than the view (a bar's field) the editing keys are the field's own:
        // Ctrl+V pastes there, not into the view.
        const HWND field = focusedField();
        const bool fieldKey = field != nullptr && message.hwnd == field && isEditingKey(message);
        if (!fieldKey && accelerators_ != nullptr &&
            TranslateAcceleratorW(hwnd(), accelerators_, &message)) {
            return true;
        }
        for (ControlBar* bar : bars_) {
            if (bar->isVisible() && IsChild(bar->hwnd(), message.hwnd) &&
                bar->translateDialogInput(message)) {
                return true;
            }
        }
    }
    return false;
}

void FrameWindow::OnSize(UINT, int, int) {
    RecalcLayout();
}

void FrameWindow::OnClose() {
    if (document_ != nullptr && !document_->CanCloseFrame(*this)) {
        return;
    }
    destroy();
}

void FrameWindow::OnDestroy() {
    Application* app = Application::current();
    if (app != nullptr && app->mainWindow() == this) {
        PostQuitMessage(0);
    }
}

bool FrameWindow::OnCommand(UINT id, UINT code, HWND) {
    // Menu items, accelerators and button clicks are commands; other notifications are the
    // control's own business.
    return (code == 0 || code == 1) && routeCommand(id);
}

bool FrameWindow::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.code == TTN_GETDISPINFOW) {
        // Tool tips of the tool bar: field 1 of the command's string, in the record's own buffer.
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        const std::wstring tip = stringField(loadString(static_cast<UINT>(header.idFrom)), 1);
        lstrcpynW(info.szText, tip.c_str(), static_cast<int>(std::size(info.szText)));
        info.lpszText = info.szText;
        result = 0;
        return true;
    }
    if (header.code == TBN_HOTITEMCHANGE) {
        // The fly-by text: the hot button's prompt while the mouse is over it.
        const auto& hot = reinterpret_cast<NMTBHOTITEM&>(header);
        setMessageText((hot.dwFlags & HICF_LEAVING) != 0 ? GetMessageString(IDS_IDLE_MESSAGE)
                                                         : GetMessageString(hot.idNew));
        result = 0;
        return true;
    }
    return false;
}

LRESULT FrameWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITMENUPOPUP:
            if (HIWORD(lParam) == 0) {  // not the system menu
                updateMenu(reinterpret_cast<HMENU>(wParam));
            }
            return 0;
        case WM_MENUSELECT: {
            const UINT id = LOWORD(wParam);
            const UINT flags = HIWORD(wParam);
            if (flags == 0xFFFF && lParam == 0) {
                setMessageText(GetMessageString(IDS_IDLE_MESSAGE));
            } else if ((flags & (MF_POPUP | MF_SEPARATOR)) == 0) {
                setMessageText(GetMessageString(id));
            }
            return 0;
        }
        case WM_EXITMENULOOP:
            setMessageText(GetMessageString(IDS_IDLE_MESSAGE));
            return 0;
        case WM_NCACTIVATE:
            dock_->activateFloating(wParam != FALSE);
            break;
        case WM_SHOWWINDOW:
            // Floating bars are the frame's own popups: shown and hidden with it.
            dock_->showFloating(wParam != FALSE);
            break;
        case WM_SETFOCUS:
            if (view_ != nullptr && view_->hwnd() != nullptr) {
                SetFocus(view_->hwnd());
                return 0;
            }
            break;
        default:
            break;
    }
    return Window::WindowProc(message, wParam, lParam);
}

}  // namespace omvar::ui
