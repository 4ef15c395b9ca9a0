#include "AppController.h"

#include "AppModel.h"
#include "AppOptionDialog.h"
#include "CDlgEditFnMsg.h"
#include "CMainFrame.h"
#include "CSetWpmDlg.h"
#include "Loggers.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "ZlogTrackBar.h"

#include <spdlog/logger.h>

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace omvar::Vetrin {

namespace {

constexpr int kZlogTrackBarPosition = 15;
constexpr wchar_t kPaddleKanaOn[] = L"[ﾎﾚ]";   // half-width katakana: bracket, ho, re, bracket
constexpr wchar_t kPaddleKanaOff[] = L"[ﾗﾀ]";  // bracket, ra, ta, bracket

}  // namespace

// The pieces the listeners act on. The emitters keep their listeners for their whole life, so
// the listeners share this record instead of pointing at the controller; after shutdown they
// find `closing` set and do nothing.
struct AppController::Wiring {
    CMainFrame* frame = nullptr;
    VetrinView* view = nullptr;
    VetrinDoc* document = nullptr;
    AppModel* model = nullptr;
    std::shared_ptr<spdlog::logger> logger;
    std::atomic<bool> closing{false};

    // A listener for `event` that runs reaction(wiring, args...) and logs what it throws: a
    // listener runs on a window procedure's or a worker's thread, where an exception would end
    // the program.
    template <typename... Args, typename Reaction>
    static std::function<void(Args...)> listener(const std::shared_ptr<Wiring>& self,
                                                 const char* event, Reaction reaction) {
        return [self, event, reaction](Args... args) {
            if (self->closing.load()) {
                return;
            }
            try {
                reaction(*self, args...);
            } catch (const std::exception& e) {
                self->logger->error("{}: {}", event, e.what());
            } catch (...) {
                self->logger->error("{}: unknown exception", event);
            }
        };
    }

    void noteHamlogEvent(const char* event) const { logger->trace("HAMLOGウィンドウ: {}", event); }

    // Calls from the tracker's and the model's threads change the window on the GUI thread and
    // wait for it (directly when already there).
    void onWindowThread(std::function<void()> work) const { frame->Invoke(std::move(work)); }

    int bank() const {
        int current = 1;
        onWindowThread([this, &current] { current = frame->bank(); });
        return current;
    }

    // HAMLOG's call field was edited: the beacon stops and what is not yet keyed goes.
    void stopSendingForEdit() const {
        model->stopBeacon();
        model->clearSendBuffer();
    }

    void showOptionDialog() const {
        AppOptionDialog options(model->settings(), frame->bank());
        if (options.DoModal(frame->hwnd()) == IDOK) {
            model->applySettings(options.settings());
            frame->applyFrameSettings();
        }
    }
};

AppController::AppController() : logger_(namedLogger("Vetrin")) {}

AppController::~AppController() {
    try {
        shutdown();
    } catch (...) {
        // Nothing leaves a destructor; shutdown logs its own failures.
    }
}

void AppController::start(CMainFrame& mainWindow) {
    if (model_ || wiring_) {
        return;
    }
    model_ = std::make_shared<AppModel>();
    model_->start(mainWindow.hwnd());

    wiring_ = std::make_shared<Wiring>();
    wiring_->frame = &mainWindow;
    wiring_->view = mainWindow.editorView();
    wiring_->document = dynamic_cast<VetrinDoc*>(mainWindow.document());
    wiring_->model = model_.get();
    wiring_->logger = logger_;

    mainWindow.setModel(model_);
    CMainFrame* frame = &mainWindow;
    AppModel* model = model_.get();
    mainWindow.setDialogHooks({
        .editFnMessage =
            [frame, model](int bank, int index) {
                CDlgEditFnMsg editor(*model, bank, index, [frame] { frame->applyFrameSettings(); });
                editor.DoModal(frame->hwnd());
            },
        .showSpeedSlider =
            [frame, model] {
                CSetWpmDlg slider(*model);
                slider.DoModal(frame->hwnd());
            },
    });

    mainWindow.applyFrameSettings();  // the status text included

    subscribe();

    if (setZlogTrackBar(kZlogTrackBarPosition)) {
        logger_->debug("zLog for Windows: track bar set to {}", kZlogTrackBarPosition);
    }
}

void AppController::subscribe() {
    const auto& w = wiring_;
    CMainFrame& frame = *w->frame;
    AppModel& model = *w->model;
    HAMLOGTracker& tracker = model.tracker();

    frame.add_listener(
        "showOptionDialog",
        Wiring::listener(w, "showOptionDialog", [](Wiring& self) { self.showOptionDialog(); }));
    if (w->document != nullptr) {
        w->document->add_listener("AfterNewDocument",
                                  Wiring::listener(w, "AfterNewDocument", [](Wiring& self) {
                                      self.logger->info("送信バッファクリア");
                                      self.model->resetSendBuffer();
                                  }));
    }
    tracker.add_listener(
        "changeWindowRect", Wiring::listener<RECT>(w, "changeWindowRect", [](Wiring& self, RECT r) {
            // followHamlogWindow writes the event's log line itself.
            self.onWindowThread(
                [&self, r] { self.frame->followHamlogWindow(r.left, r.top, r.right, r.bottom); });
        }));
    tracker.add_listener(
        "requestToToggleBank", Wiring::listener(w, "requestToToggleBank", [](Wiring& self) {
            self.noteHamlogEvent("requestToToggleBank");
            self.onWindowThread([&self] { self.frame->setBank(1 - self.frame->bank()); });
        }));
    for (const char* event : {"editCallsign", "editHisName"}) {
        tracker.add_listener(event, Wiring::listener<std::wstring>(
                                        w, event, [event](Wiring& self, const std::wstring&) {
                                            self.noteHamlogEvent(event);
                                            self.stopSendingForEdit();
                                        }));
    }
    tracker.add_listener("requestToFn02", Wiring::listener(w, "requestToFn02", [](Wiring& self) {
                             self.noteHamlogEvent("requestToFn02");
                             // Behind the keys pressed before it, never ahead of them.
                             self.model->requestFnMessage(self.bank(), 1);
                         }));
    tracker.add_listener(
        "changeCqCheck", Wiring::listener<bool>(w, "changeCqCheck", [](Wiring& self, bool checked) {
            self.noteHamlogEvent("changeCqCheck");
            // The box is where this came from: nothing is written back to it.
            self.onWindowThread([&self, checked] { self.frame->showBank(checked ? 0 : 1); });
        }));

    // Handed to the window without waiting for it: the worker, the beacon and the tracker's
    // thread go on while the editor catches up, and the window shows only the newest text.
    model.add_listener("updateSendBuffer",
                       Wiring::listener<std::wstring>(w, "updateSendBuffer",
                                                      [](Wiring& self, const std::wstring& text) {
                                                          self.logger->debug("updateSendBuffer");
                                                          if (self.view != nullptr) {
                                                              self.view->showSendBuffer(text);
                                                          }
                                                      }));
    model.add_listener("updateWPM",
                       Wiring::listener<unsigned int>(w, "updateWPM", [](Wiring& self, unsigned) {
                           self.logger->debug("updateWPM");
                           self.onWindowThread([&self] {
                               self.logger->info("WPMが更新されました");
                               self.frame->applyFrameSettings();
                           });
                       }));
    model.add_listener("inputPaddleKeyboard",
                       Wiring::listener<std::wstring>(
                           w, "inputPaddleKeyboard", [](Wiring& self, const std::wstring& text) {
                               self.logger->debug("inputPaddleKeyboard");
                               self.onWindowThread([&self, &text] {
                                   if (text == kPaddleKanaOff) {
                                       self.frame->setHalfWidthKanaMode(false);
                                       self.model->setKanaMode(false);
                                   } else if (text == kPaddleKanaOn) {
                                       self.frame->setHalfWidthKanaMode(true);
                                       self.model->setKanaMode(true);
                                   }
                               });
                           }));
    model.add_listener("changeDeviceState",
                       Wiring::listener(w, "changeDeviceState", [](Wiring& self) {
                           self.onWindowThread([&self] { self.frame->showInterfaceState(); });
                       }));
    frame.add_listener(
        "changeHangakuKanaMode",
        Wiring::listener<bool>(w, "changeHangakuKanaMode",
                               [](Wiring& self, bool on) { self.model->setKanaMode(on); }));
}

void AppController::shutdown() {
    if (!model_) {
        return;
    }
    if (wiring_) {
        wiring_->closing = true;
    }
    model_->shutdown();
    // The model goes now, with its threads and hidden windows, before the program unloads the
    // libraries they call; the main window keeps no reference to it.
    if (wiring_ != nullptr && wiring_->frame != nullptr) {
        wiring_->frame->setModel(nullptr);
        wiring_->frame->setDialogHooks({});
    }
    model_.reset();
}

}  // namespace omvar::Vetrin
