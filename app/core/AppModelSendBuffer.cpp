// How text enters the send buffer and leaves it without being keyed: stored messages, typed
// text, time stamps, clearing and paddle input.
#include "AppModelState.h"

#include "CwText.h"
#include "MacroExpansion.h"
#include "MorseCode.h"
#include "quentrax.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <exception>
#include <string_view>

namespace omvar::Vetrin {

namespace {

constexpr std::wstring_view kWabunStart = L"[\uFF8E\uFF9A]";  // "[ﾎﾚ]"
constexpr std::array<std::wstring_view, 4> kCwModes = {L"CW", L"A1A", L"A2A", L"F2A"};

// "[%m/%d-%H:%M]" in local time; empty when the time cannot be had.
std::wstring localTimeStamp(std::int64_t wallMilliseconds) {
    const std::time_t now = static_cast<std::time_t>(wallMilliseconds / 1000);
    std::tm local{};
    if (localtime_s(&local, &now) != 0) {
        return {};
    }
    wchar_t text[128];
    const std::size_t length = std::wcsftime(text, std::size(text), L"[%m/%d-%H:%M]", &local);
    return std::wstring(text, length);
}

// A request runs on a thread of its own, where nothing it throws may go.
template <typename Fn>
void logFailure(spdlog::logger& logger, Fn&& fn) {
    try {
        fn();
    } catch (const std::exception& error) {
        logger.error("A request to send could not be handled: {}", error.what());
    } catch (...) {
        logger.error("A request to send could not be handled");
    }
}

}  // namespace

std::optional<bool> AppModel::isCwMode() {
    State& s = *state_;
    if (s.settings.update([](AppSettings& live) { return live.cwAlways; })) {
        return true;
    }
    const std::optional<std::wstring> mode = s.tracker.readControlText(HamlogControlId::modeField);
    if (!mode) {
        return std::nullopt;
    }
    if (mode->empty()) {
        return true;  // no log window known, or its mode not filled in
    }
    return std::find(kCwModes.begin(), kCwModes.end(), *mode) != kCwModes.end();
}

InfoForMacroExpansion AppModel::makeInfoForMacroExpansion(MacroFields fields) {
    State& s = *state_;
    return fillInfoForMacroExpansion(
        settings(), [&s](HamlogControlId id) { return s.tracker.readControlText(id); }, fields);
}

void AppModel::addToSendBuffer(std::wstring_view text, bool expand,
                               std::optional<SendQueue::ClearCount> unlessClearedSince) {
    State& s = *state_;
    // A clear while HAMLOG's fields are read wins: the message was asked for before it.
    const SendQueue::ClearCount clears = unlessClearedSince.value_or(s.queue.clearCount());
    const std::optional<bool> cw = isCwMode();
    if (!cw) {
        s.logger->warn("HAMLOG did not answer for its mode field: \"{}\" is not keyed",
                       quentrax::wide_to_utf8(text));
        return;
    }
    if (!*cw) {
        s.logger->info("モードがCW以外だったので送信バッファに追加できません: \"{}\"",
                       quentrax::wide_to_utf8(text));
        return;
    }
    // Only what the message's macros take is read while the operator waits for the key.
    std::optional<InfoForMacroExpansion> info;
    if (expand) {
        info = makeInfoForMacroExpansion(fieldsForImmediateMacros(normalizeCwText(text)));
        if (info->missing.hisCall) {
            s.logger->warn("HAMLOG did not answer for its call field: \"{}\" is not keyed",
                           quentrax::wide_to_utf8(text));
            return;
        }
    }
    s.logger->info("Vetrinの送信バッファに追加: \"{}\"", quentrax::wide_to_utf8(text));
    if (!appendMessage(text, info, clears)) {
        s.logger->info("Cleared while the message was prepared: \"{}\" is not queued",
                       quentrax::wide_to_utf8(text));
        return;
    }
    signalWork();  // before the editor is updated: keying starts while it redraws
    emit(kUpdateSendBuffer, s.queue.text());
}

bool AppModel::appendMessage(std::wstring_view text,
                             const std::optional<InfoForMacroExpansion>& info,
                             SendQueue::ClearCount clears) {
    State& s = *state_;
    bool busy = s.queue.pendingCount() > 0;
    if (!busy) {
        // Without an interface (-1) the call counts as busy.
        busy = s.heldCodes.atLeast(s.withDevice([](int id) { return quentraxIsTxBusy(id); })) != 0;
    }
    std::wstring message(text);
    if (info && !s.queue.text().empty()) {
        // Shown text at the cursor (a time stamp made for this message, a blank) needs no
        // separator, unless text to be keyed waits behind it: the two messages would be keyed
        // as one word.
        const auto next = s.queue.peekAtCursor();
        if (!next || !next->displayOnly || s.queue.keyablePending()) {
            if (busy) {
                message.insert(0, L" ");  // keyed as a word space after what still plays
            } else if (!s.queue.append(L" ", true, clears)) {  // only shown: long over
                return false;
            }
        }
    }
    s.dataAdded = true;
    if (info) {
        return s.queue.appendExpanded(message, *info, clears);
    }
    return s.queue.append(message, false, clears);
}

void AppModel::sendFnMessage(int bank, int index) {
    stopBeaconForMessage();
    addStoredMessage(bank, index, std::nullopt);
}

void AppModel::requestFnMessage(int bank, int index) {
    State& s = *state_;
    stopBeaconForMessage();
    const SendQueue::ClearCount clears = s.queue.clearCount();
    s.requests.add([this, bank, index, clears] {
        logFailure(*state_->logger, [&] { addStoredMessage(bank, index, clears); });
    });
}

void AppModel::requestText(std::wstring_view text) {
    State& s = *state_;
    const SendQueue::ClearCount clears = s.queue.clearCount();
    s.requests.add([this, text = std::wstring(text), clears] {
        logFailure(*state_->logger, [&] { addToSendBuffer(text, false, clears); });
    });
}

bool AppModel::waitForRequests(std::chrono::milliseconds bound) {
    return state_->requests.waitUntilDone(bound);
}

void AppModel::stopBeaconForMessage() {
    // The beacon's call goes before the stamp is made: clearing it would take the stamp along.
    if (stopBeacon()) {
        clearSendBuffer();
    }
}

void AppModel::addStoredMessage(int bank, int index,
                                std::optional<SendQueue::ClearCount> clearsBefore) {
    State& s = *state_;
    if (bank < 0 || bank >= kBankCount || index < 0 || index >= kFnKeyCount) {
        s.logger->warn("sendFnMessage: no stored message for bank {} key {}", bank, index);
        return;
    }
    insertTimeStamp();
    const std::wstring message =
        s.settings.update([&](AppSettings& live) { return live.fnMessage[bank][index]; });
    addToSendBuffer(message, true, clearsBefore);
}

void AppModel::insertTimeStamp() {
    State& s = *state_;
    if (!s.settings.update([](AppSettings& live) { return live.logTime; })) {
        return;
    }
    const std::wstring stamp = localTimeStamp(s.clocks.wallMilliseconds());
    {
        std::lock_guard held(s.stampMutex);
        if (stamp == s.lastTimeStamp) {
            return;
        }
        s.lastTimeStamp = stamp;
    }
    if (!s.queue.text().empty()) {
        s.queue.append(L"\n", true);
    }
    s.queue.append(stamp + L"\n", true);
    emit(kUpdateSendBuffer, s.queue.text());
}

void AppModel::clearSendBuffer() {
    State& s = *state_;
    // Counted with the pending elements going, before the cancel: a worker that took codes
    // before it either finds the count changed before it puts them, or cancels them itself
    // after (putChunk). The editor comes last; the transmitter stops first.
    s.queue.clearPending();
    s.withDevice([](int id) {
        if (id != -1 && quentraxIsTxBusy(id) != kPaddleUsed) {
            quentraxTxCancel(id);
        }
    });
    s.heldCodes.forget();  // the unit dropped them
    wakeWorker();
    emit(kUpdateSendBuffer, s.queue.text());
}

void AppModel::resetSendBuffer() {
    State& s = *state_;
    s.queue.resetAll();
    emit(kUpdateSendBuffer, s.queue.text());
}

void AppModel::takeBackPending(std::size_t n) {
    State& s = *state_;
    s.queue.removePendingFromEnd(n);
    emit(kUpdateSendBuffer, s.queue.text());
}

std::wstring AppModel::sendBufferText() const {
    return state_->queue.text();
}

void AppModel::onPaddleInput(unsigned int code) {
    State& s = *state_;
    const auto native = static_cast<std::uint8_t>(code & 0xFF);
    const bool decode = s.settings.update([](AppSettings& live) { return live.paddleKbd; });
    std::wstring text;
    if (decode) {
        text = quentrax::from_native_code(native, s.kanaMode);
        // The Wabun start signal is only in the Wabun table: outside kana mode it would read as
        // nothing, and the operator could never key his way into kana mode.
        if (text.empty() && native == quentrax::to_native_code(kWabunStart)) {
            text = std::wstring(kWabunStart);
        }
        s.logger->info("パドルからの入力を復号: 「{}」 -> 「{}」", quentrax::to_pattern(native),
                       quentrax::wide_to_utf8(text));
    }
    // The operator has taken over: whatever was still to be keyed goes, decoded or not.
    stopBeacon();
    clearSendBuffer();
    if (!decode) {
        return;
    }
    s.queue.append(text.empty() ? std::wstring(L"?") : text, true);
    emit(kUpdateSendBuffer, s.queue.text());
    emit(kInputPaddleKeyboard, text);
}

}  // namespace omvar::Vetrin
