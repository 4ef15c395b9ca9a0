// The window thread's time per send-buffer update in the editor, by the length of the history it
// shows: the program's view (only what changed goes into the control, handed over as the model
// hands it, in steps between which the window takes its other messages) against setting the
// whole text as a plain edit view does, on the same frame. For each history length it prints the
// median and the worst of a run of updates, each figure the longest the window thread was held
// by one message:
//
//   append   a 40-character message queued behind the history
//   clear    that message's pending part cleared again
//   trim     the oldest 20,000 characters dropped, a message added (the history's bound)
//   whole    the whole text set into the control, the caret moved to the end (one message)
//
// "stamped": a time stamp line before every call; "unstamped": the whole history one line,
// which the control wraps.
//
// Run: xvfb-run -a -s "-screen 0 1280x1024x24" cmake/wine-run.sh build/win64/wineprefix
//        build/win64/bin/bench_editor_update.exe [updates per figure (7)] [stamped|unstamped]
#include "Application.h"
#include "CMainFrame.h"
#include "DocumentTemplate.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "resource.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace omvar;
using namespace omvar::Vetrin;
using Clock = std::chrono::steady_clock;

namespace {

ui::Application application;

struct Figure {
    double median = 0;
    double worst = 0;
};

// The longest the thread was held by one message until its queue was empty.
double longestMessage() {
    double longest = 0;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const auto start = Clock::now();
        TranslateMessage(&message);
        DispatchMessageW(&message);
        longest = std::max(longest,
                           std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return longest;
}

// Each run on a fresh control state made by `prepare`; `update` returns its figure.
Figure measure(int runs, const std::function<void()>& prepare,
               const std::function<double()>& update) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        longestMessage();
        ms.push_back(update());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

// With time stamps every call is a line of its own; without them the whole history is one
// paragraph, which the control wraps as one.
std::wstring historyOf(std::size_t length, bool stamped) {
    std::wstring text;
    int i = 0;
    while (text.size() < length) {
        text += stamped ? L"[12/10-11:" + std::to_wstring(10 + i % 50) + L"]\nCQ DE JA1ZZZ K\n"
                        : std::wstring(L"CQ DE JA1ZZZ K ");
        ++i;
    }
    text.resize(length);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const bool stamped = !(argc > 2 && std::string(argv[2]) == "unstamped");
    application.AddDocTemplate(std::make_unique<ui::SingleDocTemplate>(
        IDR_MAINFRAME, [] { return std::make_unique<VetrinDoc>(); },
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<VetrinView>(); }));
    application.setShowCommand(SW_SHOW);
    if (!application.ProcessShellCommand({})) {
        std::printf("no frame\n");
        return 1;
    }
    auto* frame = static_cast<CMainFrame*>(application.docTemplate()->frame());
    VetrinView* view = frame->editorView();
    const std::wstring message = L" JA1ABC DE JA1ZZZ UR 5NN 5NN BK";

    std::printf("%s history\n", stamped ? "stamped" : "unstamped");
    std::printf("%-9s %16s %16s %16s %16s   (ms, median / worst of %d)\n", "history", "append",
                "clear", "trim", "whole", runs);
    for (const std::size_t length :
         {std::size_t{0}, std::size_t{10000}, std::size_t{100000}, std::size_t{350000}}) {
        const std::wstring history = historyOf(length, stamped);
        const std::wstring trimmed =
            length > 20000 ? history.substr(20000) + message : history + message;
        const auto handed = [&](const std::wstring& text) {
            return [&view, text] {
                view->showSendBuffer(text);
                return longestMessage();
            };
        };
        const Figure append = measure(
            runs, [&] { view->updateSendBuffer(history); }, handed(history + message));
        const Figure clear = measure(
            runs, [&] { view->updateSendBuffer(history + message); }, handed(history));
        const Figure trim = measure(
            runs, [&] { view->updateSendBuffer(history); }, handed(trimmed));
        // Without line breaks the whole text costs the square of its length: beyond 100,000
        // characters a single figure takes minutes.
        const bool wholeTooLong = !stamped && length > 100000;
        const Figure whole =
            wholeTooLong
                ? Figure{-1, -1}
                : measure(
                      runs, [&] { view->setEditText(L""); },
                      [&] {
                          std::wstring shown;
                          for (const wchar_t ch : history + message) {
                              shown += ch == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, ch);
                          }
                          const auto start = Clock::now();
                          view->setEditText(shown);
                          view->moveCaretToEnd();
                          return std::chrono::duration<double, std::milli>(Clock::now() - start)
                              .count();
                      });
        std::printf("%-9zu %7.1f / %6.1f %7.1f / %6.1f %7.1f / %6.1f %7.1f / %6.1f\n", length,
                    append.median, append.worst, clear.median, clear.worst, trim.median, trim.worst,
                    whole.median, whole.worst);
        std::fflush(stdout);
    }
    return 0;
}
