// The worker: reconnection, disconnection and the pacing that feeds the interface a few codes
// at a time as its buffer drains.
#include "AppModelState.h"

#include "MorseCode.h"
#include "quentrax.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>
#include <vector>

namespace omvar::Vetrin {

namespace {

using std::chrono::milliseconds;

constexpr int kGeneratorCapacity = 8;
constexpr int kMaxCodesPerPacket = 7;  // quentraxPutCodes refuses more, and the text would go
constexpr auto kStepInterval = milliseconds(10);
constexpr auto kReconnectPause = milliseconds(2000);

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

}  // namespace

void AppModel::runWorker() {
    State& s = *state_;
    while (!s.stopRequested) {
        try {
            workerStep();
        } catch (const std::exception& e) {
            // One failed step (a listener that threw, say) must not end the keying for good.
            s.logger->error("The worker step failed: {}", e.what());
        } catch (...) {
            s.logger->error("The worker step failed");
        }
        std::this_thread::sleep_for(kStepInterval);
    }
}

std::uint64_t AppModel::wakeupCount() {
    State& s = *state_;
    std::lock_guard held(s.waitMutex);
    return s.wakeups;
}

void AppModel::wakeWorker() {
    State& s = *state_;
    {
        std::lock_guard held(s.waitMutex);
        ++s.wakeups;
    }
    s.waitCondition.notify_all();
}

bool AppModel::waitForWorker(long long waitMs, std::uint64_t wakeupsBefore) {
    State& s = *state_;
    std::unique_lock held(s.waitMutex);
    const bool woken = waitMs > 0 && s.waitCondition.wait_for(held, milliseconds(waitMs), [&] {
        return s.wakeups != wakeupsBefore || s.stopRequested;
    });
    return woken;
}

void AppModel::workerStep() {
    State& s = *state_;
    const PacingSettings pacing = s.pacing();

    if (s.currentId() == -1) {
        reconnect();
        if (s.currentId() == -1) {
            // Ended at once by shutdown, and only by shutdown.
            std::unique_lock lock(s.waitMutex);
            s.waitCondition.wait_for(lock, kReconnectPause, [&] { return s.stopRequested.load(); });
            return;
        }
    }

    int buffered = s.withDevice([](int id) { return quentraxIsTxBusy(id); });
    if (buffered == -1) {
        dropConnection();
        return;
    }

    if (const auto next = s.queue.peekAtCursor(); next && next->displayOnly) {
        s.queue.takeAtCursor();
    }

    const std::size_t pending = s.queue.pendingCount();
    if (pending == 0 && buffered == 0 && s.beaconOn && !s.beaconScheduled) {
        scheduleBeacon(pacing.cqInt);
        return;
    }

    int n = static_cast<int>(
        std::min<std::size_t>({pending, static_cast<std::size_t>(std::max(pacing.maxCount, 0)),
                               static_cast<std::size_t>(kMaxCodesPerPacket)}));
    if (n == 0) {
        return;
    }
    if (s.dataAdded.exchange(false)) {
        if (buffered == kPaddleUsed) {
            s.logger->debug("パドル操作モードから復帰");
            s.withDevice([](int id) { quentraxTxCancel(id); });
            buffered = 0;
        }
    } else if (buffered == kPaddleUsed) {
        return;  // after paddle use nothing is keyed until new text is queued
    }
    const int free = kGeneratorCapacity - buffered;
    if (buffered > pacing.threshold) {
        return;
    }
    n = std::min(n, free);
    if (n <= 0) {
        return;  // a threshold of 8 or more: the interface is full
    }
    s.logger->debug("バッファサイズが{}以下になったので{}文字送信 (現在: {} 空き: {})",
                    pacing.threshold, n, buffered, free);

    const std::uint64_t wakeupsBefore = wakeupCount();  // a clear from here on ends the wait
    std::vector<std::uint8_t> codes;
    std::wstring chunk;
    while (static_cast<int>(codes.size()) < n) {
        // A macro may expand to nothing and leave another one at the cursor.
        for (auto next = s.queue.peekAtCursor(); next && next->kind == SendElement::kDeferredMacro;
             next = s.queue.peekAtCursor()) {
            s.queue.expandDeferredAtCursor(makeInfoForMacroExpansion());
            emit("updateSendBuffer", s.queue.text());
        }
        const auto element = s.queue.takeAtCursor();
        if (!element) {
            break;
        }
        if (!element->displayOnly &&
            (element->kind == SendElement::kCharacter || element->kind == SendElement::kProsign)) {
            codes.push_back(element->code);
            chunk += element->text;
        }
    }
    if (codes.empty()) {
        s.logger->debug("送信するデータがありませんでした");
        return;
    }
    // Nothing taken before a clear may be keyed after it: a clear during the collection (a late
    // macro reads HAMLOG's fields) drops the chunk, and one that comes while it is on its way
    // cancels it at the interface.
    if (wakeupCount() != wakeupsBefore) {
        s.logger->debug("Cleared while the chunk was collected: \"{}\" is not sent",
                        quentrax::wide_to_utf8(chunk));
        return;
    }
    s.logger->debug("デバイスに送信: {} \"{}\" ({}文字)", patterns(codes),
                    quentrax::wide_to_utf8(chunk), codes.size());
    s.withDevice([&](int id) {
        quentraxPutCodes(id, codes.data(), static_cast<int>(codes.size()));
        if (wakeupCount() != wakeupsBefore && quentraxIsTxBusy(id) != kPaddleUsed) {
            quentraxTxCancel(id);
        }
    });

    // Only as long as the chunk's first character plays: the next step looks at the buffer
    // again.
    const double units = Vetrin::playingUnits(std::span<const std::uint8_t>(codes.data(), 1),
                                              pacing.weightDot, pacing.weightDash);
    const int wpm =
        std::clamp(pacing.wpm, kMinWpm, kMaxWpm);  // a hand-edited file may hold anything
    const auto waitMs = static_cast<long long>(60000.0 / (wpm * 50) * units);
    s.logger->debug("文字が再生されるのを待機: {}[ms]", waitMs);
    if (waitForWorker(waitMs, wakeupsBefore)) {
        s.logger->debug("{}[ms]待機する前にキャンセル", waitMs);
    } else {
        s.logger->debug("{}[ms]経過したので復帰します", waitMs);
    }
}

}  // namespace omvar::Vetrin
