#pragma once

#include "Subscription.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace spdlog {
class logger;
}

namespace omvar::Vetrin {

class AppModel;
class CMainFrame;

// Puts the program together: creates and starts the model, hands it to the main window and
// wires the events of the main window, the document, the model and the HAMLOG tracker to their
// reactions. Window work of listeners that run on other threads goes through the main window's
// Invoke; whatever a listener throws is logged and goes no further. Owned by the application
// object; one start, one shutdown, on the GUI thread.
class AppController {
public:
    AppController();
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // The frame must have its view and document. Creates and starts the model (settings loaded,
    // interface opened, HAMLOG watched), subscribes the listeners and sets zLog for Windows'
    // track bar when that program runs.
    void start(CMainFrame& mainWindow);
    // Stops the model's worker, the hooks and the interface, saves the settings and lets the
    // model go, the main window's reference included. The listeners do nothing from here on.
    void shutdown();

    // Null before start and after shutdown.
    std::shared_ptr<AppModel> model() const { return model_; }

private:
    struct Wiring;

    void subscribe();
    void subscribeFrameAndDocument();
    void subscribeTracker();
    void subscribeModel();
    // Subscribes reaction(wiring, args...) to the emitter's event for the controller's life.
    template <typename Emitter, typename EventType, typename Reaction>
    void on(Emitter& emitter, const EventType& event, Reaction reaction);

    std::shared_ptr<spdlog::logger> logger_;
    std::shared_ptr<AppModel> model_;
    // What the listeners work with.
    std::unique_ptr<Wiring> wiring_;
    // Declared last, so that they end first.
    std::vector<Subscription> subscriptions_;
};

}  // namespace omvar::Vetrin
