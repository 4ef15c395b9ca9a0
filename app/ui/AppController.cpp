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

// The pieces the listeners act on. The controller's subscriptions end at shutdown, before the
// model's threads are joined, and the controller outlives both, so a listener still under way
// on one of those threads finds everything here.
struct AppController::Wiring {
    CMainFrame* frame = nullptr;
    VetrinView* view = nullptr;
    VetrinDoc* document = nullptr;
    AppModel* model = nullptr;
    std::shared_ptr<spdlog::logger> logger;

    // A listener that runs reaction(wiring, args...) and logs what it throws, under the event's
    // name: a listener runs on a window procedure's or a worker's thread, where an exception
    // would end the program.
    template <typename Owner, typename... Args, typename Reaction>
    auto listener(const Event<Owner, Args...>& event, Reaction reaction) {
        return [this, name = event.name, reaction](Args... args) {
            try {
                reaction(*this, args...);
            } catch (const std::exception& e) {
                logger->error("{}: {}", name, e.what());
            } catch (...) {
                logger->error("{}: unknown exception", name);
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

    // The paddle's kana brackets switch the kana mode of the window and the model.
    void followPaddleKanaMode(const std::wstring& text) const {
        if (text == kPaddleKanaOff) {
            frame->setHalfWidthKanaMode(false);
            model->setKanaMode(false);
        } else if (text == kPaddleKanaOn) {
            frame->setHalfWidthKanaMode(true);
            model->setKanaMode(true);
        }
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

    wiring_ = std::make_unique<Wiring>();
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

template <typename Emitter, typename EventType, typename Reaction>
void AppController::on(Emitter& emitter, const EventType& event, Reaction reaction) {
    subscriptions_.push_back(emitter.add_listener(event, wiring_->listener(event, reaction)));
}

void AppController::subscribe() {
    subscribeFrameAndDocument();
    subscribeTracker();
    subscribeModel();
}

void AppController::subscribeFrameAndDocument() {
    CMainFrame& frame = *wiring_->frame;
    on(frame, CMainFrame::kShowOptionDialog, [](Wiring& self) { self.showOptionDialog(); });
    on(frame, CMainFrame::kChangeHangakuKanaMode,
       [](Wiring& self, bool kana) { self.model->setKanaMode(kana); });
    if (VetrinDoc* document = wiring_->document; document != nullptr) {
        on(*document, VetrinDoc::kAfterNewDocument, [](Wiring& self) {
            self.logger->info("送信バッファクリア");
            self.model->resetSendBuffer();
        });
    }
}

void AppController::subscribeTracker() {
    using T = HAMLOGTracker;
    T& tracker = wiring_->model->tracker();
    on(tracker, T::kChangeWindowRect, [](Wiring& self, RECT r) {
        // followHamlogWindow writes the event's log line itself.
        self.onWindowThread(
            [&self, r] { self.frame->followHamlogWindow(r.left, r.top, r.right, r.bottom); });
    });
    on(tracker, T::kRequestToToggleBank, [](Wiring& self) {
        self.noteHamlogEvent("requestToToggleBank");
        self.onWindowThread([&self] { self.frame->setBank(1 - self.frame->bank()); });
    });
    for (const auto& edit : {T::kEditCallsign, T::kEditHisName}) {
        on(tracker, edit, [name = edit.name](Wiring& self, const std::wstring&) {
            self.noteHamlogEvent(name);
            self.stopSendingForEdit();
        });
    }
    on(tracker, T::kRequestToFn02, [](Wiring& self) {
        self.noteHamlogEvent("requestToFn02");
        // Behind the keys pressed before it, never ahead of them.
        self.model->requestFnMessage(self.bank(), 1);
    });
    on(tracker, T::kChangeCqCheck, [](Wiring& self, bool checked) {
        self.noteHamlogEvent("changeCqCheck");
        // The box is where this came from: nothing is written back to it.
        self.onWindowThread([&self, checked] { self.frame->showBank(checked ? 0 : 1); });
    });
}

void AppController::subscribeModel() {
    AppModel& model = *wiring_->model;
    // Handed to the window without waiting for it: the worker, the beacon and the tracker's
    // thread go on while the editor catches up, and the window shows only the newest text.
    on(model, AppModel::kUpdateSendBuffer, [](Wiring& self, const std::wstring& text) {
        self.logger->debug("updateSendBuffer");
        if (self.view != nullptr) {
            self.view->showSendBuffer(text);
        }
    });
    on(model, AppModel::kUpdateWPM, [](Wiring& self, unsigned) {
        self.logger->debug("updateWPM");
        self.onWindowThread([&self] {
            self.logger->info("WPMが更新されました");
            self.frame->applyFrameSettings();
        });
    });
    on(model, AppModel::kInputPaddleKeyboard, [](Wiring& self, const std::wstring& text) {
        self.logger->debug("inputPaddleKeyboard");
        self.onWindowThread([&self, &text] { self.followPaddleKanaMode(text); });
    });
    on(model, AppModel::kChangeDeviceState,
       [](Wiring& self) { self.onWindowThread([&self] { self.frame->showInterfaceState(); }); });
}

void AppController::shutdown() {
    // First: no listener starts from here on; one under way on a model thread ends in the
    // model's shutdown.
    subscriptions_.clear();
    if (!model_) {
        return;
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
