// The speed slider over a model with an emulated QUENTRAX: where it opens, and that moving it to
// the top or the bottom stores, sends and announces 50 or 5 WPM.
#include "AppModel.h"
#include "AppSettings.h"
#include "CSetWpmDlg.h"
#include "SettingsFilePath.h"
#include "resource.h"

#include "DialogDriver.h"
#include "LibraryLifecycle.h"
#include "QuentraxEmulator.h"
#include "quentrax.h"

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

using namespace dialog_test;
using namespace std::chrono_literals;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::Vetrin::AppModel;
using omvar::Vetrin::AppSettings;
using omvar::Vetrin::CSetWpmDlg;

namespace {

class SpeedSlider : public ::testing::Test {
protected:
    void SetUp() override {
        omvar::quentrax::library_attach();
        // The packet trace writes a line every 10 ms; nothing here reads it.
        quentraxSetLogger(std::make_shared<spdlog::logger>(
            "qxpacket", std::make_shared<spdlog::sinks::null_sink_mt>()));

        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        settingsFile = std::filesystem::path(folder) /
                       (L"vetrin-slider-" + std::to_wstring(GetCurrentProcessId()) + L".ini");
        std::filesystem::remove(settingsFile);
        omvar::Vetrin::setSettingsFilePath(settingsFile.wstring());
        AppSettings settings;
        omvar::Vetrin::loadSettings(settings);
        settings.wpm = 20;
        omvar::Vetrin::saveSettings(settings);

        unit = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, 10ms));
        model = std::make_shared<AppModel>();
        model->add_listener("updateWPM", std::function<void(unsigned int)>([this](unsigned w) {
                                std::lock_guard held(mutex);
                                announced.push_back(w);
                            }));
        model->start(nullptr);  // this thread runs the dialogs, so it is the GUI thread
    }

    void TearDown() override {
        model->shutdown();
        model.reset();
        QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
        std::error_code ignored;
        std::filesystem::remove(settingsFile, ignored);
    }

    std::vector<unsigned int> announcements() {
        std::lock_guard held(mutex);
        return announced;
    }

    // Speed commands (0x24) the unit executed, as their WPM.
    std::vector<int> speedsSent() {
        std::vector<int> out;
        for (const auto& command : unit->commands()) {
            if (command.size() == 8 && command[0] == 0x24) {
                out.push_back(static_cast<int>(600.0 / command[1] + 0.5));  // 2 ms units
            }
        }
        return out;
    }

    // Opens the slider with the mouse at `cursor`; `script` gets the dialog and its slider.
    INT_PTR slide(POINT cursor, const std::function<void(HWND dialog, HWND slider)>& script) {
        SetCursorPos(cursor.x, cursor.y);
        CSetWpmDlg dialog(*model);
        return drive([&] { return dialog.DoModal(nullptr); },
                     [&](DWORD gui) {
                         const HWND window = waitForDialog(gui, L"WPM速度");
                         ASSERT_NE(window, nullptr);
                         script(window, GetDlgItem(window, IDC_WPM_SLIDER));
                     });
    }

    std::filesystem::path settingsFile;
    std::shared_ptr<QuentraxUnit> unit;
    std::shared_ptr<AppModel> model;
    std::mutex mutex;
    std::vector<unsigned int> announced;
};

RECT primaryWorkArea() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

// The slider as the keyboard moves it: it sends its parent the scroll itself.
void press(HWND slider, UINT key) {
    SendMessageW(slider, WM_KEYDOWN, key, 0);
    SendMessageW(slider, WM_KEYUP, key, 0);
}

TEST_F(SpeedSlider, OpensAtTheCurrentSpeedBesideTheCursor) {
    slide({400, 500}, [](HWND dialog, HWND slider) {
        EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
        EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 45);
        EXPECT_EQ(SendMessageW(slider, TBM_GETLINESIZE, 0, 0), 1);
        EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 1);
        EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 30);  // 50 - 20 WPM
        EXPECT_EQ(text(dialog, IDC_WPM_TEXT), L"20");
        RECT r{};
        GetWindowRect(dialog, &r);
        EXPECT_EQ(r.left, 350);
        EXPECT_EQ(r.top, 400);
        EXPECT_TRUE(screenshot(dialog, L"wpm-slider.png"));
        click(dialog, IDOK);
    });
    // A cursor in the bottom-left corner of the work area: the dialog stays whole inside it,
    // pushed right and up against its edges. The corner is the one Wine reports, since the size
    // of the screen it shows its programs is not always the X server's.
    const RECT area = primaryWorkArea();
    slide({area.left + 10, area.bottom - 4}, [area](HWND dialog, HWND) {
        RECT r{};
        GetWindowRect(dialog, &r);
        EXPECT_EQ(r.left, area.left);
        EXPECT_EQ(r.bottom, area.bottom) << "work area " << area.left << "," << area.top << " to "
                                         << area.right << "," << area.bottom;
        click(dialog, IDOK);
    });
    EXPECT_TRUE(announcements().empty()) << "opening alone changed the speed";
}

TEST_F(SpeedSlider, TopSendsFiftyAndBottomFive) {
    ASSERT_NE(model->nId(), -1) << "the model opened no interface";
    ASSERT_TRUE(wait_for([&] { return !speedsSent().empty(); }))
        << "the model's start sent no speed";
    unit->clear_packets();
    slide({400, 500}, [&](HWND dialog, HWND slider) {
        press(slider, VK_HOME);
        EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(text(dialog, IDC_WPM_TEXT), L"50");
        EXPECT_EQ(model->settings().wpm, 50);
        EXPECT_TRUE(wait_for([&] { return !speedsSent().empty() && speedsSent().back() == 50; }));

        press(slider, VK_END);
        EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 45);
        EXPECT_EQ(text(dialog, IDC_WPM_TEXT), L"5");
        EXPECT_EQ(model->settings().wpm, 5);
        EXPECT_TRUE(wait_for([&] { return speedsSent().back() == 5; }));

        press(slider, VK_UP);  // one step towards the top
        EXPECT_EQ(text(dialog, IDC_WPM_TEXT), L"6");
        EXPECT_EQ(model->settings().wpm, 6);
        click(dialog, IDOK);
    });
    EXPECT_TRUE(wait_for([&] { return speedsSent().back() == 6; }));
    const auto sent = speedsSent();
    const auto heard = announcements();
    // Every scroll sets the speed (key down and the end of the move each scroll once).
    for (const auto& speeds : {std::vector<int>(sent.begin(), sent.end()),
                               std::vector<int>(heard.begin(), heard.end())}) {
        EXPECT_TRUE(std::find(speeds.begin(), speeds.end(), 50) != speeds.end());
        EXPECT_TRUE(std::find(speeds.begin(), speeds.end(), 5) != speeds.end());
        ASSERT_FALSE(speeds.empty());
        EXPECT_EQ(speeds.back(), 6);
    }
    EXPECT_EQ(unit->keyer().speed, 100);  // a 200 ms dot at 6 WPM, in 2 ms units
}

}  // namespace
