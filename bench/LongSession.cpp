// A long session of the whole program, measured from outside: Vetrin.exe with the real Snarel.dll
// and the virtual QUENTRAX, staged in a folder of its own beside the HAMLOG stand-in, the beacon
// repeating a short CQ every few seconds, and every minute or so the operator's turn: a call sign
// typed into HAMLOG's call field (which stops the beacon), F2 and F3, the call field cleared, the
// beacon started again with the interface's message button (on the virtual QUENTRAX's panel). At
// the start, after the first minute and then every few minutes it prints what the program's process
// holds, each figure with where it comes from:
//
//   private   private bytes: GetProcessMemoryInfo's PagefileUsage (which Windows counts as
//             the private bytes; Wine answers 0 for PrivateUsage of another process)
//   ws        working set, GetProcessMemoryInfo's WorkingSetSize (Wine: the resident memory)
//   anon      resident anonymous memory of the Wine process, RssAnon in /proc/<pid>/status
//   threads   threads of the process in a Toolhelp snapshot
//   windows   the process's top-level windows, their descendants and its message-only windows
//   fds       descriptors of the Wine process, entries of /proc/<pid>/fd
//   handles   GetProcessHandleCount (Wine answers 0)
//   gdi user  GetGuiResources (Wine answers 0)
//   log       size of Vetrin.log (written through a buffer, so it grows in steps)
//   history   characters in the editor, which shows the send buffer with everything keyed since
//             start (WM_GETTEXTLENGTH)
//
// At the end it decodes the key timeline: every CQ the beacon keyed must read in full.
//
// Run: xvfb-run -a -s "-screen 0 1280x1024x24" cmake/wine-run.sh build/win64/wineprefix
//        build/win64/bin/bench_long_session.exe [minutes (30)] [minutes between samples (5)]
#include "AppSettings.h"

#include "HamlogControl.h"
#include "KeyTimeline.h"
#include "MorseDecoder.h"
#include "ProgramFolder.h"
#include "Stage.h"
#include "VetrinProcess.h"
#include "WaitFor.h"
#include "virtual/RemoteActions.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using omvar::demo::Stage;
using omvar::demo::VetrinProcess;
using omvar::sim::TimelineEdge;
using omvar::sim::hamlog::HamlogControl;
using Clock = std::chrono::steady_clock;

namespace {

constexpr wchar_t kCq[] = L"CQ DE $M K";
constexpr char kCqKeyed[] = "CQ DE XX9XXX/1 K";
constexpr int kWpm = 50;
constexpr int kCqIntervalMs = 3000;
constexpr auto kOperatorEvery = 60s;

void say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

// The Wine process of the program, found in /proc (drive Z: is the Unix root) by its command
// line, which Wine sets to the program's Windows path.
std::optional<int> unixProcessOf(const std::wstring& executable) {
    const std::string wanted(executable.begin(), executable.end());  // a path in ASCII
    for (const auto& entry : std::filesystem::directory_iterator(L"Z:\\proc")) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.empty() ||
            !std::all_of(name.begin(), name.end(), [](wchar_t c) { return std::iswdigit(c); })) {
            continue;
        }
        std::ifstream commandLine(entry.path() / L"cmdline", std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(commandLine)),
                                  std::istreambuf_iterator<char>());
        if (content.rfind(wanted, 0) == 0) {
            return std::stoi(name);
        }
    }
    return std::nullopt;
}

struct Sample {
    double minutes = 0;
    std::size_t privateBytes = 0;
    std::size_t workingSet = 0;
    std::size_t anonKb = 0;
    std::size_t threads = 0;
    std::size_t windows = 0;
    std::size_t fds = 0;
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
    std::uintmax_t logBytes = 0;
    std::size_t historyChars = 0;
};

std::size_t threadsOf(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    std::size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == processId ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
}

struct WindowCount {
    DWORD processId;
    std::size_t count = 0;
};

BOOL CALLBACK countChild(HWND, LPARAM context) {
    ++reinterpret_cast<WindowCount*>(context)->count;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM context) {
    auto* counter = reinterpret_cast<WindowCount*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == counter->processId) {
        ++counter->count;
        EnumChildWindows(window, countChild, context);  // every descendant
    }
    return TRUE;
}

std::size_t windowsOf(DWORD processId) {
    WindowCount counter{processId};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&counter));
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        counter.count += owner == processId ? 1 : 0;
    }
    return counter.count;
}

std::size_t procStatusKb(int unixPid, const std::string& field) {
    std::ifstream status("Z:\\proc\\" + std::to_string(unixPid) + "\\status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtoull(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

std::size_t descriptorsOf(int unixPid) {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator
             it(L"Z:\\proc\\" + std::to_wstring(unixPid) + L"\\fd", error),
         end;
         !error && it != end; it.increment(error)) {
        ++count;
    }
    return count;
}

// The program's editor, the frame's view.
constexpr int kViewId = 0xE900;

Sample sample(double minutes, HANDLE process, DWORD processId, HWND main, int unixPid,
              const std::wstring& log) {
    Sample s;
    s.minutes = minutes;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
        // Windows counts the private bytes as the page file usage; PrivateUsage answers 0 here.
        s.privateBytes = memory.PagefileUsage;
        s.workingSet = memory.WorkingSetSize;
    }
    s.anonKb = procStatusKb(unixPid, "RssAnon");
    s.threads = threadsOf(processId);
    s.windows = windowsOf(processId);
    s.fds = descriptorsOf(unixPid);
    GetProcessHandleCount(process, &s.handles);
    s.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    s.user = GetGuiResources(process, GR_USEROBJECTS);
    std::error_code error;
    s.logBytes = std::filesystem::file_size(log, error);
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(GetDlgItem(main, kViewId), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000,
                            &length)) {
        s.historyChars = length;
    }
    return s;
}

void print(const Sample& s) {
    std::printf("%7.1f  %10.1f  %6.1f  %7.1f  %7zu  %7zu  %4zu  %7lu  %3lu  %4lu  %7.1f  %7zu\n",
                s.minutes, s.privateBytes / 1048576.0, s.workingSet / 1048576.0, s.anonKb / 1024.0,
                s.threads, s.windows, s.fds, static_cast<unsigned long>(s.handles),
                static_cast<unsigned long>(s.gdi), static_cast<unsigned long>(s.user),
                s.logBytes / 1024.0, s.historyChars);
    std::fflush(stdout);
}

// The key timeline as it grows, read from where the last read ended.
class TimelineFollower {
public:
    explicit TimelineFollower(std::wstring path) : path_(std::move(path)) {}

    // Reads what was added; true when an edge came.
    bool poll() {
        std::ifstream in{std::filesystem::path(path_), std::ios::binary};
        if (!in) {
            return false;
        }
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto end = chunk.find_last_of('\n');
        if (end == std::string::npos) {
            return false;
        }
        offset_ += end + 1;
        const std::size_t before = edges_.size();
        std::size_t start = 0;
        while (start <= end) {
            const std::size_t stop = chunk.find('\n', start);
            std::string line = chunk.substr(start, stop - start);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (auto edge = omvar::sim::parse_edge_line(line)) {
                edges_.push_back(*edge);
                lastEdge_ = Clock::now();
            }
            start = stop + 1;
        }
        return edges_.size() != before;
    }

    // Waits until the key is up and nothing came for `quiet`.
    bool waitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds bound) {
        const auto deadline = Clock::now() + bound;
        lastEdge_ = Clock::now();
        for (;;) {
            poll();
            if (Clock::now() - lastEdge_ >= quiet && (edges_.empty() || !edges_.back().down)) {
                return true;
            }
            if (Clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(50ms);
        }
    }

    const std::vector<TimelineEdge>& edges() const { return edges_; }

private:
    std::wstring path_;
    std::size_t offset_ = 0;
    std::vector<TimelineEdge> edges_;
    Clock::time_point lastEdge_ = Clock::now();
};

// The operator, at an operator's pace: a pause between actions (the program reports HAMLOG's
// call-sign edits some milliseconds after each key, and an edit stops the beacon and drops what
// waits, so an F2 typed on the heels of the last character could be dropped by it).
class Operator {
public:
    Operator(HamlogControl& hamlog, TimelineFollower& timeline, DWORD processId)
        : hamlog_(hamlog), timeline_(timeline), processId_(processId) {}

    void keys(const wchar_t* field, const wchar_t* keys) {
        hamlog_.bringToFront(L"A:call", 20s);
        if (!hamlog_.input(field, keys)) {
            ++lostKeys;
        }
        std::this_thread::sleep_for(kPause);
    }

    // The interface's message button, on the virtual QUENTRAX's panel, until the beacon keys:
    // the interface's notification is given up after 10 ms when the program's window is busy,
    // and the operator presses again.
    void startBeacon() {
        for (int tries = 0; tries < 5; ++tries) {
            const std::size_t before = timeline_.edges().size();
            pressMessageButton();
            const auto deadline = Clock::now() + 5s;
            while (timeline_.edges().size() == before && Clock::now() < deadline) {
                timeline_.poll();
                std::this_thread::sleep_for(50ms);
            }
            if (timeline_.edges().size() != before) {
                return;
            }
            ++buttonPressesLost;
        }
    }

    // The operator's turn, between two CQs: a call sign (the beacon stops), the report and the
    // thanks, the field cleared, the beacon again.
    void turn() {
        timeline_.waitForQuiet(500ms, 60s);
        keys(L"A:call", L"ja1abc");
        keys(L"A:call", L"{F2}");
        timeline_.waitForQuiet(500ms, 60s);
        keys(L"A:call", L"{F3}");
        timeline_.waitForQuiet(500ms, 60s);
        keys(L"A:call", L"{BACK}{BACK}{BACK}{BACK}{BACK}{BACK}");
        startBeacon();
        ++turns;
    }

    int turns = 0;
    int lostKeys = 0;
    int buttonPressesLost = 0;

private:
    static constexpr auto kPause = 500ms;

    void pressMessageButton() {
        const HWND panel = omvar::sim::virtual_unit::panelOf(processId_);
        if (panel == nullptr) {
            throw std::runtime_error("the virtual QUENTRAX's panel is not there");
        }
        SendMessageTimeoutW(GetDlgItem(panel, IDC_PANEL_MESSAGE), BM_CLICK, 0, 0, SMTO_NORMAL, 5000,
                            nullptr);
    }

    HamlogControl& hamlog_;
    TimelineFollower& timeline_;
    DWORD processId_;
};

void run(double minutes, double sampleEvery) {
    Stage stage(L"long-session", Stage::Interface::virtualUnit);
    omvar::Vetrin::AppSettings settings = stage.defaultSettings();
    settings.wpm = kWpm;
    settings.cqInt = kCqIntervalMs;
    settings.fnMessage[0][0] = kCq;
    stage.writeSettings(settings);

    HamlogControl hamlog;
    hamlog.command(L"move A 120 100 640 300");
    hamlog.setCheck(L"A:cq", 1);
    hamlog.setText(L"A:rst", L"599");
    VetrinProcess vetrin(stage.options({}, {{L"QUENTRAX_VIRTUAL_PANEL", L"1"}}));
    const HWND main = vetrin.waitForMainWindow(60s);
    if (main == nullptr) {
        throw std::runtime_error("Vetrin's window did not show");
    }
    const DWORD processId = vetrin.processId();
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    const auto unixPid = unixProcessOf(stage.path(L"Vetrin.exe"));
    if (process == nullptr) {
        throw std::runtime_error("the program's process cannot be opened");
    }
    if (!unixPid) {
        throw std::runtime_error("the program's Wine process is not in /proc");
    }
    say("Vetrin.exe: Windows process " + std::to_string(processId) + ", Unix process " +
        std::to_string(*unixPid));

    TimelineFollower timeline(stage.path(L"timeline.txt"));
    Operator session(hamlog, timeline, processId);
    session.startBeacon();

    say("minutes  private MB  ws MB  anon MB  threads  windows  fds  handles  gdi  user  log KB  "
        "history");
    const std::wstring log = stage.path(L"Vetrin.log");
    const auto start = Clock::now();
    auto minutesSince = [&] {
        return std::chrono::duration<double>(Clock::now() - start).count() / 60;
    };
    std::vector<double> schedule = {0, 1};
    for (double at = sampleEvery; at <= minutes + 1e-9; at += sampleEvery) {
        if (at > 1) {
            schedule.push_back(at);
        }
    }
    std::size_t nextSample = 0;
    auto nextTurn = start + kOperatorEvery;
    while (nextSample < schedule.size()) {
        if (minutesSince() >= schedule[nextSample]) {
            print(sample(minutesSince(), process, processId, main, *unixPid, log));
            ++nextSample;
            continue;
        }
        if (Clock::now() >= nextTurn && minutesSince() < minutes - 0.5) {
            session.turn();
            nextTurn += kOperatorEvery;
            continue;
        }
        timeline.poll();
        std::this_thread::sleep_for(200ms);
    }
    timeline.waitForQuiet(500ms, 60s);
    session.keys(L"A:call", L"{ESC}");  // stops the beacon between two calls
    timeline.waitForQuiet(1s, 60s);
    CloseHandle(process);
    const bool closed = vetrin.close(60s);
    // Kept beside this program for a closer look; the stage goes.
    const std::wstring kept = testing_support::programFolder() + L"long-session-";
    CopyFileW(log.c_str(), (kept + L"Vetrin.log").c_str(), FALSE);
    CopyFileW(stage.path(L"timeline.txt").c_str(), (kept + L"timeline.txt").c_str(), FALSE);
    say("Vetrin.log and the key timeline: bin/long-session-Vetrin.log, "
        "bin/long-session-timeline.txt");

    // Every CQ of the beacon keyed in full; the operator's messages beside them.
    timeline.poll();
    std::map<std::string, int> keyed;
    std::vector<TimelineEdge> part;
    auto decodePart = [&] {
        if (!part.empty()) {
            ++keyed[omvar::sim::decode_timeline(part).text];
            part.clear();
        }
    };
    const auto& edges = timeline.edges();
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (i > 0 && edges[i].down && edges[i].ms - edges[i - 1].ms >= 1000) {
            decodePart();
        }
        part.push_back(edges[i]);
    }
    decodePart();
    say("");
    say("keyed (decoded from the key timeline, one entry per stretch of keying):");
    for (const auto& [text, count] : keyed) {
        say("  " + std::to_string(count) + " x \"" + text + "\"");
    }
    int fullCqs = keyed[kCqKeyed];
    int otherCqs = 0;
    for (const auto& [text, count] : keyed) {
        if (text != kCqKeyed && text.rfind("CQ", 0) == 0) {
            otherCqs += count;
        }
    }
    say("CQ calls keyed in full: " + std::to_string(fullCqs) + ", cut or garbled: " +
        std::to_string(otherCqs) + "; operator's turns: " + std::to_string(session.turns) +
        ", keys lost: " + std::to_string(session.lostKeys) + ", message-button presses lost: " +
        std::to_string(session.buttonPressesLost) + "; Vetrin closed: " + (closed ? "yes" : "no"));
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 30;
    const double every = argc > 2 ? std::atof(argv[2]) : 5;
    try {
        run(minutes, every);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_long_session: %s\n", e.what());
        return 1;
    }
}
