// Placeholder so the windows can build against the interface; the model itself replaces this
// file.
#include "AppModel.h"

namespace omvar::Vetrin {

struct AppModel::State {
    LiveSettings settings;
    HAMLOGTracker tracker;
    DeferredTaskQueue tasks;
    SendQueue queue;
    bool beacon = false;
    bool kana = false;
};

AppModel::AppModel() : state_(std::make_unique<State>()) {}
AppModel::~AppModel() = default;
void AppModel::start(HWND mainWindow) {
    state_->tasks.start();
    state_->settings.load();
    state_->tracker.setMainWindow(mainWindow);
    state_->tracker.start();
}
void AppModel::shutdown() {}
AppSettings AppModel::settings() const { return state_->settings.snapshot(); }
LiveSettings& AppModel::liveSettings() { return state_->settings; }
void AppModel::applySettings(AppSettings settings) { state_->settings.apply(settings); }
int AppModel::nId() const { return -1; }
std::wstring AppModel::versionText() { return {}; }
void AppModel::reconnect() {}
unsigned int AppModel::speedUp() { return static_cast<unsigned int>(settings().wpm); }
unsigned int AppModel::speedDown() { return static_cast<unsigned int>(settings().wpm); }
void AppModel::setWpm(unsigned int) {}
void AppModel::addToSendBuffer(std::wstring_view text, bool) {
    state_->queue.append(text, false);
    emit("updateSendBuffer", state_->queue.text());
}
void AppModel::sendFnMessage(int, int) {}
void AppModel::clearSendBuffer() {}
void AppModel::resetSendBuffer() {}
void AppModel::takeBackPending(std::size_t) {}
std::wstring AppModel::sendBufferText() const { return state_->queue.text(); }
bool AppModel::isCwMode() { return true; }
InfoForMacroExpansion AppModel::makeInfoForMacroExpansion() { return {}; }
bool AppModel::beaconOn() const { return state_->beacon; }
void AppModel::startBeacon() { state_->beacon = true; }
bool AppModel::stopBeacon() { return std::exchange(state_->beacon, false); }
bool AppModel::kanaMode() const { return state_->kana; }
void AppModel::setKanaMode(bool on) { state_->kana = on; }
HAMLOGTracker& AppModel::tracker() { return state_->tracker; }
DeferredTaskQueue& AppModel::taskQueue() { return state_->tasks; }
SendQueue& AppModel::sendQueue() { return state_->queue; }
HWND AppModel::notificationWindow() const { return nullptr; }
void AppModel::workerStep() {}
void AppModel::onInterfaceNotification(UINT, WPARAM, LPARAM) {}
void AppModel::onPaddleInput(unsigned int) {}
void AppModel::scheduleBeacon(int) {}
void AppModel::fireBeacon() {}
double AppModel::playingUnits(const std::vector<std::uint8_t>&, double, double) { return 0; }

}  // namespace omvar::Vetrin
