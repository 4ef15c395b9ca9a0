// The worker: reconnection, disconnection and the pacing that feeds the interface a few codes
// at a time as its buffer drains. It sleeps until there is work: queued text, a clear, a
// settings change and shutdown wake it; while codes are pending or still held by the interface
// it looks at the interface's buffer size every `following` period (WorkerPeriods), and idle
// only as often as an unplug must be noticed.
#include "AppModelState.h"

#include "MacroExpansion.h"
#include "MorseCode.h"
#include "quentrax.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <string>
#include <vector>

namespace omvar::Vetrin {

namespace {

using std::chrono::milliseconds;

constexpr int kGeneratorCapacity = 8;
constexpr int kMaxCodesPerPacket = 7;  // quentraxPutCodes refuses more, and the text would go

std::string patterns(const std::vector<std::uint8_t>& codes) {
    std::string out;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += quentrax::to_pattern(codes[i]);
    }
    return out;
}

// What is still to be keyed, for a log line.
std::wstring pendingText(const SendQueue& queue) {
    const std::vector<SendElement> elements = queue.elements();
    std::wstring text;
    for (std::size_t i = std::min(queue.cursor(), elements.size()); i < elements.size(); ++i) {
        text += elements[i].text;
    }
    return text;
}

// One dot at the pacing's speed; a hand-edited file may hold any speed.
double dotMilliseconds(const PacingSettings& pacing) {
    const int wpm = std::clamp(pacing.wpm, kMinWpm, kMaxWpm);
    return 60000.0 / (wpm * 50);
}

// The timing the unit keys with: its speed is the dot in whole 2 ms steps and its weights are
// whole half units, so a chain of codes timed with the exact figures would drift from it.
HeldCodes::Timing unitTiming(const PacingSettings& pacing) {
    const int speedCode = std::max(1, static_cast<int>(dotMilliseconds(pacing) * 0.5 + 0.5));
    const auto halfUnits = [](double weight) { return std::floor(weight * 2.0 + 0.5) / 2.0; };
    return {speedCode * 2.0, halfUnits(pacing.weightDot), halfUnits(pacing.weightDash)};
}

}  // namespace

// The codes taken at the cursor for one packet, and their text for the log.
struct AppModel::Chunk {
    std::vector<std::uint8_t> codes;
    std::wstring text;
    SendQueue::ClearCount clears = 0;  // the queue's count when the first element was taken
};

void AppModel::runWorker() {
    State& s = *state_;
    while (!s.stopRequested) {
        // Taken before the step: work that comes while it runs ends the wait after it at once.
        const std::uint64_t signals = workSignals();
        WorkerPause pause = WorkerPause::following;
        try {
            pause = workerStep();
        } catch (const std::exception& e) {
            // One failed step (a listener that threw, say) must not end the keying for good.
            s.logger->error("The worker step failed: {}", e.what());
        } catch (...) {
            s.logger->error("The worker step failed");
        }
        waitForWork(pause, signals);
    }
}

std::uint64_t AppModel::wakeupCount() {
    State& s = *state_;
    std::lock_guard held(s.wait);
    return s.wakeups;
}

std::uint64_t AppModel::workSignals() {
    State& s = *state_;
    std::lock_guard held(s.wait);
    return s.work;
}

void AppModel::wakeWorker() {
    State& s = *state_;
    {
        std::lock_guard held(s.wait);
        ++s.wakeups;
        ++s.work;
    }
    s.wait.notifyAll();
}

void AppModel::signalWork() {
    State& s = *state_;
    {
        std::lock_guard held(s.wait);
        ++s.work;
    }
    s.wait.notifyAll();
}

void AppModel::waitForWork(WorkerPause pause, std::uint64_t signalsBefore) {
    State& s = *state_;
    std::unique_lock held(s.wait);
    if (pause == WorkerPause::reconnect) {
        // Ended at once by shutdown, and only by shutdown: opening is not tried more often.
        s.wait.waitFor(held, s.periods.reconnect, [&] { return s.stopRequested.load(); });
        return;
    }
    const milliseconds period = pause == WorkerPause::idle ? s.periods.idle : s.periods.following;
    s.wait.waitFor(held, period, [&] { return s.work != signalsBefore || s.stopRequested; });
}

bool AppModel::waitWhilePlaying(long long waitMs, std::uint64_t wakeupsBefore) {
    State& s = *state_;
    std::unique_lock held(s.wait);
    const bool woken = waitMs > 0 && s.wait.waitFor(held, milliseconds(waitMs), [&] {
        return s.wakeups != wakeupsBefore || s.stopRequested;
    });
    return woken;
}

AppModel::WorkerPause AppModel::workerStep() {
    State& s = *state_;
    const PacingSettings pacing = s.pacing();
    if (!ensureInterface()) {
        return WorkerPause::reconnect;
    }
    const int reported = s.withDevice([](int id) { return quentraxIsTxBusy(id); });
    if (reported == -1) {
        dropConnection();
        return WorkerPause::following;  // the next step tries to open it again
    }
    int buffered = s.heldCodes.atLeast(reported);
    takeShownElement();

    if (beaconDue(buffered)) {
        scheduleNextBeacon(pacing.cqInt);
        return WorkerPause::idle;  // the firing queues the call, which wakes the worker
    }
    const std::size_t pending = s.queue.pendingCount();
    if (const int n = chunkLength(pending, buffered, pacing); n > 0) {
        keyChunk(n, buffered, pacing);
        return WorkerPause::following;
    }
    const bool inFlight = buffered > 0 && buffered != kPaddleUsed;
    return pending > 0 || inFlight ? WorkerPause::following : WorkerPause::idle;
}

bool AppModel::beaconDue(int buffered) {
    State& s = *state_;
    // In this order: a start sets `scheduled` before `on`, and a firing queues its call before
    // it clears `scheduled`. Found on with nothing scheduled, the last call is in the queue (or
    // has been keyed), so it is seen there; read the other way round, a firing between the reads
    // would get a second one scheduled at once, cqInt after the start of its call.
    if (!s.beaconOn || s.beaconScheduled) {
        return false;
    }
    return buffered == 0 && s.queue.pendingCount() == 0;
}

bool AppModel::ensureInterface() {
    State& s = *state_;
    if (s.currentId() != -1) {
        return true;
    }
    reconnect();
    return s.currentId() != -1;
}

void AppModel::takeShownElement() {
    State& s = *state_;
    if (const auto next = s.queue.peekAtCursor(); next && next->displayOnly) {
        s.queue.takeAtCursor();
    }
}

int AppModel::chunkLength(std::size_t pending, int& buffered, const PacingSettings& pacing) {
    State& s = *state_;
    int n = static_cast<int>(
        std::min<std::size_t>({pending, static_cast<std::size_t>(std::max(pacing.maxCount, 0)),
                               static_cast<std::size_t>(kMaxCodesPerPacket)}));
    if (n == 0) {
        return 0;
    }
    if (s.dataAdded.exchange(false)) {
        if (buffered == kPaddleUsed) {
            s.logger->debug("パドル操作モードから復帰");
            s.withDevice([](int id) { quentraxTxCancel(id); });
            buffered = 0;
        }
    } else if (buffered == kPaddleUsed) {
        return 0;  // after paddle use nothing is keyed until new text is queued
    }
    const int free = kGeneratorCapacity - buffered;
    if (buffered > pacing.threshold) {
        return 0;
    }
    n = std::min(n, free);
    if (n <= 0) {
        return 0;  // a threshold of 8 or more: the interface is full
    }
    s.logger->debug("バッファサイズが{}以下になったので{}文字送信 (現在: {} 空き: {})",
                    pacing.threshold, n, buffered, free);
    return n;
}

void AppModel::keyChunk(int n, int buffered, const PacingSettings& pacing) {
    State& s = *state_;
    const std::uint64_t wakeupsBefore = wakeupCount();  // a clear from here on ends the wait
    const Chunk chunk = collectChunk(n);
    if (chunk.codes.empty()) {
        s.logger->debug("送信するデータがありませんでした");
        return;
    }
    if (!putChunk(chunk, buffered, pacing)) {
        return;
    }
    // Only as long as the chunk's first character plays: the next step looks at the buffer
    // again.
    const double units = Vetrin::playingUnits(std::span<const std::uint8_t>(chunk.codes.data(), 1),
                                              pacing.weightDot, pacing.weightDash);
    const auto waitMs = static_cast<long long>(dotMilliseconds(pacing) * units);
    s.logger->debug("文字が再生されるのを待機: {}[ms]", waitMs);
    if (waitWhilePlaying(waitMs, wakeupsBefore)) {
        s.logger->debug("{}[ms]待機する前にキャンセル", waitMs);
    } else {
        s.logger->debug("{}[ms]経過したので復帰します", waitMs);
    }
}

AppModel::Chunk AppModel::collectChunk(int n) {
    State& s = *state_;
    Chunk chunk;
    // Taken under one clear count: after a clear nothing more is taken, and what was taken
    // before it is dropped (putChunk).
    chunk.clears = s.queue.clearCount();
    while (static_cast<int>(chunk.codes.size()) < n) {
        // A macro may expand to nothing and leave another one at the cursor.
        for (auto next = s.queue.peekAtCursor(); next && next->kind == SendElement::kDeferredMacro;
             next = s.queue.peekAtCursor()) {
            if (!expandLateMacro()) {
                return chunk;
            }
        }
        const auto element = s.queue.takeAtCursorUnlessClearedSince(chunk.clears);
        if (!element) {
            break;
        }
        if (!element->displayOnly &&
            (element->kind == SendElement::kCharacter || element->kind == SendElement::kProsign)) {
            chunk.codes.push_back(element->code);
            chunk.text += element->text;
        }
    }
    return chunk;
}

// A late macro reads only its own field, as the cursor reaches it. A macro whose field HAMLOG did
// not give is not keyed as an empty value, and the message is not keyed around a hole either:
// what is pending goes, as with a clear, and the log says why.
bool AppModel::expandLateMacro() {
    State& s = *state_;
    for (;;) {
        const auto macro = s.queue.peekAtCursor();
        if (!macro || macro->kind != SendElement::kDeferredMacro) {
            return true;
        }
        const MacroFields wanted = fieldsForLateMacro(macro->text);
        InfoForMacroExpansion info = makeInfoForMacroExpansion(wanted);
        if (const auto failed = missingFieldOf(macro->text, info)) {
            s.logger->warn("HAMLOG did not answer for its {} field: the rest is not keyed: \"{}\"",
                           fieldName(*failed), quentrax::wide_to_utf8(pendingText(s.queue)));
            s.queue.removePendingFromEnd(s.queue.pendingCount());
            emit(kUpdateSendBuffer, s.queue.text());
            return false;
        }
        // A clear and a new message may have put another macro at the cursor meanwhile: it is
        // not expanded with the fields that were not read, but read for again.
        info.missing = {!wanted.hisCall, !wanted.hisName, !wanted.report};
        if (s.queue.expandDeferredAtCursor(info)) {
            emit(kUpdateSendBuffer, s.queue.text());
        }
    }
}

bool AppModel::putChunk(const Chunk& chunk, int buffered, const PacingSettings& pacing) {
    State& s = *state_;
    // Nothing taken before a clear may be keyed after it. A clear counts itself before it
    // cancels: one counted before this look drops the chunk (a late macro reads HAMLOG's fields
    // during the collection); one counted after it cancels what has been put, or is seen by the
    // second look, which cancels it here.
    const auto cleared = [&] { return s.queue.clearCount() != chunk.clears; };
    if (cleared()) {
        s.logger->debug("Cleared while the chunk was collected: \"{}\" is not sent",
                        quentrax::wide_to_utf8(chunk.text));
        return false;
    }
    s.logger->debug("デバイスに送信: {} \"{}\" ({}文字)", patterns(chunk.codes),
                    quentrax::wide_to_utf8(chunk.text), chunk.codes.size());
    s.heldCodes.put(chunk.codes, buffered, unitTiming(pacing));
    s.withDevice([&](int id) {
        quentraxPutCodes(id, chunk.codes.data(), static_cast<int>(chunk.codes.size()));
        if (cleared() && quentraxIsTxBusy(id) != kPaddleUsed) {
            quentraxTxCancel(id);
            s.heldCodes.forget();
        }
    });
    return true;
}

}  // namespace omvar::Vetrin
