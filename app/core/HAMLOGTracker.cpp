// Placeholder so the model and the windows can build against the interface; the tracker itself
// replaces this file.
#include "HAMLOGTracker.h"

namespace omvar::Vetrin {

struct HAMLOGTracker::State {
    HWND mainWindow = nullptr;
    DeferredTaskQueue tasks;
    DummyWindow::Holder hidden;
};

HAMLOGTracker::HAMLOGTracker() : state_(std::make_unique<State>()) {}
HAMLOGTracker::~HAMLOGTracker() = default;
void HAMLOGTracker::setMainWindow(HWND window) { state_->mainWindow = window; }
void HAMLOGTracker::setKeyOptions(bool, bool) {}
void HAMLOGTracker::start() {
    state_->hidden = DummyWindow::create();
    state_->tasks.start();
}
int HAMLOGTracker::onCopyData(HWND, const COPYDATASTRUCT*) { return 0; }
std::wstring HAMLOGTracker::readControlText(HamlogControlId) { return {}; }
bool HAMLOGTracker::readCqCheck() { return false; }
void HAMLOGTracker::setCqCheck(bool) {}
bool HAMLOGTracker::readCqMachinePlaying() { return false; }
HWND HAMLOGTracker::activeLogWindow() const { return nullptr; }
DeferredTaskQueue& HAMLOGTracker::taskQueue() { return state_->tasks; }
void HAMLOGTracker::destroyHiddenWindow() { state_->hidden.reset(); }
HWND HAMLOGTracker::hiddenWindow() const {
    return state_->hidden ? state_->hidden->handle() : nullptr;
}

}  // namespace omvar::Vetrin
