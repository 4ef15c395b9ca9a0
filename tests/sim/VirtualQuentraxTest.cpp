// The virtual QUENTRAX loaded as a program loads the interface library: keying through the C
// functions, the key timeline and WAV file it writes, and its panel's notifications.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CapturingSink.h"
#include "KeyTimeline.h"
#include "MessageWindowThread.h"
#include "MorseDecoder.h"
#include "ProgramFolder.h"
#include "QuentraxExportNames.h"
#include "RemoteActions.h"
#include "WaitFor.h"
#include "quentrax.h"
#include "resource.h"

namespace {

using omvar::sim::TimelineEdge;
using omvar::sim::virtual_unit::RemoteAction;
using omvar::sim::virtual_unit::requestRemoteAction;
using testing_support::programFolder;
using testing_support::wait_for;

std::wstring tempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"vetrin-virtual-" + std::to_wstring(GetCurrentProcessId()) +
           L"-" + name;
}

// The library's exports, found by name as a program that loads it at run time finds them.
class VirtualLibrary {
public:
    VirtualLibrary() : module_(LoadLibraryW((programFolder() + L"virtual\\quentrax.dll").c_str())) {
        if (module_ == nullptr) {
            return;
        }
        find(open, "quentraxOpen");
        find(close, "quentraxClose");
        find(putStr, "quentraxPutStr");
        find(isTxBusy, "quentraxIsTxBusy");
        find(setWpm, "quentraxSetWPM");
        find(setSideTone, "quentraxSetSideTone");
        find(getVersion, "quentraxGetVersion");
        find(setCallbackWindow, "quentraxSetCallbackWindow");
        find(setLogger, QUENTRAX_EXPORT_NAME(quentraxSetLogger, 8));
    }
    ~VirtualLibrary() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    VirtualLibrary(const VirtualLibrary&) = delete;
    VirtualLibrary& operator=(const VirtualLibrary&) = delete;

    bool loaded() const { return module_ != nullptr && setLogger != nullptr; }

    int(QUENTRAX_CALL* open)(int) = nullptr;
    void(QUENTRAX_CALL* close)(int) = nullptr;
    int(QUENTRAX_CALL* putStr)(int, const char*, int) = nullptr;
    int(QUENTRAX_CALL* isTxBusy)(int) = nullptr;
    int(QUENTRAX_CALL* setWpm)(int, int) = nullptr;
    int(QUENTRAX_CALL* setSideTone)(int, int) = nullptr;
    int(QUENTRAX_CALL* getVersion)(int) = nullptr;
    int(QUENTRAX_CALL* setCallbackWindow)(int, HWND) = nullptr;
    void(QUENTRAX_CALL* setLogger)(std::shared_ptr<spdlog::logger>) = nullptr;

private:
    template <typename F>
    void find(F& function, const char* name) {
        function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_;
};

// Receives the library's notifications, the registered message "QUENTRAX.DLL", as a program's
// callback window does.
class CallbackRecorder {
public:
    using Pair = std::pair<std::uint64_t, std::int64_t>;

    HWND window() const { return window_.window(); }
    std::vector<Pair> pairs() {
        std::lock_guard<std::mutex> lock(mutex_);
        return pairs_;
    }
    bool waitFor(std::size_t count) {
        return wait_for([&] { return pairs().size() >= count; });
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        static const UINT notification = RegisterWindowMessageW(L"QUENTRAX.DLL");
        auto* self = reinterpret_cast<CallbackRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == notification) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->pairs_.emplace_back(static_cast<std::uint64_t>(w), static_cast<std::int64_t>(l));
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }

    std::mutex mutex_;
    std::vector<Pair> pairs_;
    testing_support::MessageWindowThread window_{L"VetrinTestVirtualCallback", procedure, this};
};

std::vector<TimelineEdge> readTimeline(const std::wstring& path) {
    std::ifstream file{std::filesystem::path(path)};
    return omvar::sim::read_timeline(file);
}

struct Wav {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<std::int16_t> samples;
};

Wav readWav(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    Wav wav;
    if (bytes.size() < 44) {
        return wav;
    }
    auto u16 = [&](std::size_t at) { return bytes[at] | (bytes[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
    wav.channels = u16(22);
    wav.rate = u32(24);
    wav.bits = u16(34);
    const std::size_t data = std::min<std::size_t>(u32(40), bytes.size() - 44);
    for (std::size_t i = 0; i + 1 < data; i += 2) {
        wav.samples.push_back(static_cast<std::int16_t>(u16(44 + i)));
    }
    return wav;
}

class VirtualQuentrax : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_TIMELINE", timelinePath.c_str());
        SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_WAV", wavPath.c_str());
        SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_FIRMWARE", nullptr);
        SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_SOUND", L"0");
        SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_PANEL", L"0");
        library = std::make_unique<VirtualLibrary>();
        ASSERT_TRUE(library->loaded());
        auto [logger, sink] = testing_support::capturing_logger("quentrax");
        library->setLogger(logger);
        log = sink;
        library->setLogger(testing_support::capturing_logger("qxpacket").first);
    }

    void TearDown() override {
        for (int id = 0; id < 16; ++id) {
            library->close(id);
        }
        library.reset();
        DeleteFileW(timelinePath.c_str());
        DeleteFileW(wavPath.c_str());
    }

    bool logged(const std::string& fragment) {
        for (const auto& text : log->texts()) {
            if (text.find(fragment) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    const std::wstring timelinePath = tempFile(L"timeline.txt");
    const std::wstring wavPath = tempFile(L"tone.wav");
    std::unique_ptr<VirtualLibrary> library;
    std::shared_ptr<testing_support::CapturingSink> log;
};

TEST_F(VirtualQuentrax, OpensOneVirtualUnitThatSaysSoInTheLog) {
    // With the sound output asked for: where there is none (Wine here), one line says so and
    // the unit works all the same.
    SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_SOUND", nullptr);
    ASSERT_EQ(library->open(0), 0);
    EXPECT_EQ(library->getVersion(0), 23);
    EXPECT_TRUE(logged("QUENTRAX Ver.2.3 (virtual)")) << "no line names the virtual unit";
    const auto texts = log->texts();
    EXPECT_LE(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& text) {
                                return text.find("サウンド出力がない") != std::string::npos;
                            }),
              1);
    EXPECT_EQ(library->putStr(0, "E", 1), 0);
    EXPECT_TRUE(wait_for([&] { return readTimeline(timelinePath).size() == 2; }));
    library->close(0);

    SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_FIRMWARE", L"21");
    ASSERT_EQ(library->open(0), 0);
    EXPECT_EQ(library->getVersion(0), 21);
}

TEST_F(VirtualQuentrax, ParisAtTwentyWpmKeysTheTimelineAndTheSideToneWav) {
    ASSERT_EQ(library->open(0), 0);
    ASSERT_EQ(library->setWpm(0, 20), 0);
    ASSERT_EQ(library->setSideTone(0, 5), 0);  // 3906.25 / 5 = 781.25 Hz
    ASSERT_EQ(library->putStr(0, "PARIS ", 6), 0);
    // Topped up while it still plays, so the word space keeps its length. The size the library
    // tells right after the put may be that of a report from before it: the put is seen first.
    ASSERT_TRUE(wait_for([&] { return library->isTxBusy(0) > 2; }, std::chrono::seconds(20)));
    ASSERT_TRUE(wait_for([&] { return library->isTxBusy(0) <= 2; }, std::chrono::seconds(20)));
    ASSERT_EQ(library->putStr(0, "PARIS", 5), 0);
    const std::size_t edges = 2 * 2 * (4 + 2 + 3 + 2 + 3);
    ASSERT_TRUE(wait_for([&] { return readTimeline(timelinePath).size() >= edges; },
                         std::chrono::seconds(30)))
        << readTimeline(timelinePath).size() << " edges, keyed \""
        << omvar::sim::decode_timeline(readTimeline(timelinePath)).text << "\", buffer "
        << library->isTxBusy(0);
    library->close(0);

    const auto timeline = readTimeline(timelinePath);
    ASSERT_EQ(timeline.size(), edges);
    const auto decoded = omvar::sim::decode_timeline(timeline);
    EXPECT_EQ(decoded.text, "PARIS PARIS");
    EXPECT_NEAR(decoded.wpm, 20, 0.5);
    // Dots of 60 ms, dashes of 180 ms, element spaces of 60 ms, within the unit's 10 ms tick.
    for (std::size_t i = 0; i + 1 < timeline.size(); i += 2) {
        ASSERT_TRUE(timeline[i].down);
        ASSERT_FALSE(timeline[i + 1].down);
        const double mark = timeline[i + 1].ms - timeline[i].ms;
        EXPECT_TRUE(std::abs(mark - 60) <= 10 || std::abs(mark - 180) <= 10) << mark;
    }
    for (const auto& character : decoded.characters) {
        const double units = (character.end_ms - character.start_ms) / 60;
        double expected = 0;
        for (char element : character.pattern) {
            expected += element == '.' ? 2 : 4;
        }
        EXPECT_NEAR(units, expected - 1, 10.0 / 60) << character.text;
    }

    const Wav wav = readWav(wavPath);
    EXPECT_GE(wav.rate, 8000);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.bits, 16);
    ASSERT_GT(wav.samples.size(), static_cast<std::size_t>(timeline.back().ms * wav.rate / 1000));
    auto sampleAt = [&](double ms) { return static_cast<std::size_t>(ms * wav.rate / 1000); };
    // Sound exactly while keyed: full level inside each mark (past the 4 ms ramps), silence
    // between marks.
    double silenceFrom = 0;
    for (std::size_t i = 0; i < timeline.size(); i += 2) {
        const double down = timeline[i].ms;
        const double up = timeline[i + 1].ms;
        int loudest = 0;
        for (std::size_t s = sampleAt(down + 5); s < sampleAt(up - 5); ++s) {
            loudest = std::max(loudest, std::abs(static_cast<int>(wav.samples[s])));
        }
        EXPECT_GT(loudest, 15000) << "mark at " << down;
        int noise = 0;
        for (std::size_t s = sampleAt(silenceFrom) + 1; s < sampleAt(down); ++s) {
            noise = std::max(noise, std::abs(static_cast<int>(wav.samples[s])));
        }
        EXPECT_EQ(noise, 0) << "before the mark at " << down;
        silenceFrom = up;
    }
    // The tone of setting 5, counted by zero crossings over the first dash.
    const auto dash = std::find_if(decoded.characters.begin(), decoded.characters.end(),
                                   [](const auto& c) { return c.pattern == ".--."; });
    ASSERT_NE(dash, decoded.characters.end());
    const double from = timeline[2].ms + 5;  // P's first dash, inside its ramps
    const double to = timeline[3].ms - 5;
    int crossings = 0;
    for (std::size_t s = sampleAt(from) + 1; s < sampleAt(to); ++s) {
        if ((wav.samples[s - 1] < 0) != (wav.samples[s] < 0)) {
            ++crossings;
        }
    }
    const double hz = crossings / 2.0 / ((to - from) / 1000);
    EXPECT_NEAR(hz, 781.25, 781.25 * 0.02);
}

TEST_F(VirtualQuentrax, TheSessionLastsFromTheFirstOpenToTheLastClose) {
    SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_PANEL", nullptr);
    auto panel = [] { return FindWindowW(omvar::sim::virtual_unit::kPanelClass, nullptr); };
    ASSERT_EQ(library->open(0), 0);
    ASSERT_EQ(library->open(0), 1);  // the same unit again, as the real library does
    EXPECT_NE(panel(), nullptr);
    library->close(0);
    EXPECT_NE(panel(), nullptr);
    EXPECT_EQ(library->putStr(1, "E", 1), 0);
    ASSERT_TRUE(wait_for([&] { return readTimeline(timelinePath).size() >= 2; }));
    library->close(1);
    EXPECT_EQ(panel(), nullptr);

    // A new session writes its timeline anew.
    ASSERT_EQ(library->open(0), 0);
    EXPECT_TRUE(readTimeline(timelinePath).empty());
}

std::wstring windowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

TEST_F(VirtualQuentrax, UnpluggedPluggedInAgainAndFrozenFromOutside) {
    SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_PANEL", nullptr);
    const DWORD self = GetCurrentProcessId();
    auto panel = [] { return FindWindowW(omvar::sim::virtual_unit::kPanelClass, nullptr); };
    auto panelStatus = [&] { return windowText(GetDlgItem(panel(), IDC_PANEL_STATUS)); };
    auto keyed = [&](std::size_t from) {
        const auto timeline = readTimeline(timelinePath);
        return omvar::sim::decode_timeline(
                   {timeline.begin() + static_cast<std::ptrdiff_t>(from), timeline.end()})
            .text;
    };
    ASSERT_EQ(library->open(0), 0);
    ASSERT_EQ(library->setWpm(0, 40), 0);
    ASSERT_EQ(library->putStr(0, "TEST", 4), 0);
    ASSERT_TRUE(wait_for([&] { return !readTimeline(timelinePath).empty(); }));

    // Unplugged, the library loses the unit, and what it held with it; the session stays.
    ASSERT_TRUE(requestRemoteAction(self, RemoteAction::unplug));
    ASSERT_TRUE(wait_for([&] { return library->isTxBusy(0) == -1; }));
    library->close(0);
    ASSERT_NE(panel(), nullptr);
    EXPECT_TRUE(wait_for([&] { return panelStatus().rfind(L"Unplugged", 0) == 0; }))
        << panelStatus();
    EXPECT_EQ(windowText(GetDlgItem(panel(), IDC_PANEL_PLUG)), L"Plug in");
    EXPECT_EQ(library->open(0), -1);
    const std::size_t beforeUnplug = readTimeline(timelinePath).size();
    EXPECT_NE(keyed(0), "TEST");

    // Plugged in, a unit with its power-on settings, and the timeline goes on.
    ASSERT_TRUE(requestRemoteAction(self, RemoteAction::plugIn));
    ASSERT_TRUE(wait_for([&] { return library->open(0) == 0; }));
    EXPECT_TRUE(wait_for([&] { return panelStatus().rfind(L"Speed 20 WPM", 0) == 0; }))
        << panelStatus();
    ASSERT_EQ(library->setWpm(0, 40), 0);
    ASSERT_EQ(library->putStr(0, "PARIS", 5), 0);
    ASSERT_TRUE(wait_for([&] { return readTimeline(timelinePath).size() > beforeUnplug; }));

    // Frozen, it keys nothing more until the library's freeze watch kicks it, then the rest
    // (after the pause, which reads as a word space).
    ASSERT_TRUE(requestRemoteAction(self, RemoteAction::freeze));
    ASSERT_TRUE(wait_for([&] { return panelStatus().find(L"FROZEN") != std::wstring::npos; }));
    EXPECT_TRUE(wait_for(
        [&] {
            std::string text = keyed(beforeUnplug);
            std::erase(text, ' ');
            return text == "PARIS";
        },
        std::chrono::seconds(20)))
        << keyed(beforeUnplug);
    EXPECT_TRUE(logged("フリーズした可能性"));
    EXPECT_TRUE(wait_for([&] { return panelStatus().find(L"FROZEN") == std::wstring::npos; }));

    // Plugged in, the last close ends the session.
    library->close(0);
    EXPECT_EQ(panel(), nullptr);
}

TEST_F(VirtualQuentrax, PanelActionsReachTheCallbackWindowAsTheUnitsNotifications) {
    SetEnvironmentVariableW(L"QUENTRAX_VIRTUAL_PANEL", nullptr);
    CallbackRecorder recorder;
    ASSERT_EQ(library->open(0), 0);
    ASSERT_EQ(library->setCallbackWindow(0, recorder.window()), 0);
    HWND panel = FindWindowW(omvar::sim::virtual_unit::kPanelClass, nullptr);
    ASSERT_NE(panel, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(panel, &owner);
    EXPECT_EQ(owner, GetCurrentProcessId());

    using Pair = CallbackRecorder::Pair;
    SendMessageW(GetDlgItem(panel, IDC_PANEL_MESSAGE), BM_CLICK, 0, 0);
    ASSERT_TRUE(recorder.waitFor(1));
    SendMessageW(GetDlgItem(panel, IDC_PANEL_SPEED_UP), BM_CLICK, 0, 0);
    ASSERT_TRUE(recorder.waitFor(2));
    SendMessageW(GetDlgItem(panel, IDC_PANEL_SPEED_DOWN), BM_CLICK, 0, 0);
    ASSERT_TRUE(recorder.waitFor(3));
    // The paddle: the first character typed into the panel arrives.
    PostMessageW(panel, WM_CHAR, L'a', 0);
    ASSERT_TRUE(recorder.waitFor(4));
    EXPECT_THAT(recorder.pairs(), testing::ElementsAre(Pair{0x30000, 0}, Pair{0x10000, 0},
                                                       Pair{0x20000, 0}, Pair{0x60, 15}));

    // The same by shortcut keys, each waited for: actions in one status report arrive in the
    // report's order (the knob before the button).
    PostMessageW(panel, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(recorder.waitFor(5));
    PostMessageW(panel, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_TRUE(recorder.waitFor(6));
    PostMessageW(panel, WM_CHAR, L'K', 0);
    ASSERT_TRUE(recorder.waitFor(7));
    const auto pairs = recorder.pairs();
    EXPECT_EQ(pairs[4].first, 0x30000u);
    EXPECT_EQ(pairs[5].first, 0x20000u);
    EXPECT_EQ(pairs[6], (Pair{0xB0, 15}));
}

}  // namespace
