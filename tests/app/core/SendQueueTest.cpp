#include "SendQueue.h"

#include "MacroExpansion.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using omvar::Vetrin::InfoForMacroExpansion;
using omvar::Vetrin::SendElement;
using omvar::Vetrin::SendQueue;

namespace {

std::vector<std::wstring> textsOf(const std::vector<SendElement>& elements) {
    std::vector<std::wstring> texts;
    for (const auto& element : elements) {
        texts.push_back(element.text);
    }
    return texts;
}

std::vector<int> codesOf(const std::vector<SendElement>& elements) {
    std::vector<int> codes;
    for (const auto& element : elements) {
        codes.push_back(element.code);
    }
    return codes;
}

// Offsets and indexes as a fresh numbering of the whole queue would give them.
void expectNumbered(const std::vector<SendElement>& elements) {
    std::int32_t offset = 0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        EXPECT_EQ(elements[i].index, static_cast<std::int32_t>(i)) << "element " << i;
        EXPECT_EQ(elements[i].offset, offset) << "element " << i;
        offset += static_cast<std::int32_t>(elements[i].text.size());
    }
}

TEST(SendQueue, AppendMakesNormalisedCharacterElements) {
    std::int64_t now = 1'700'000'000'123;
    SendQueue queue([&] { return now; });
    queue.append(L"abc", false);
    const auto elements = queue.elements();
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(textsOf(elements), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    EXPECT_EQ(codesOf(elements), (std::vector<int>{0x60, 0x88, 0xA8}));
    for (const auto& element : elements) {
        EXPECT_EQ(element.kind, SendElement::kCharacter);
        EXPECT_FALSE(element.prosign);
        EXPECT_FALSE(element.displayOnly);
        EXPECT_EQ(element.timeStamp, now);
    }
    EXPECT_EQ(queue.text(), L"ABC");

    now += 60'000;
    queue.append(L"ＣＱ ほれガ[AR]", true);
    const auto added = queue.elements();
    ASSERT_EQ(added.size(), 14u);
    EXPECT_EQ(queue.text(), L"ABCCQ ﾎﾚｶﾞ[AR]");
    // Typed text knows no prosigns: the brackets are characters without a code.
    EXPECT_EQ(codesOf(added), (std::vector<int>{0x60, 0x88, 0xA8, 0xA8, 0xD8, 0x80, 0x90, 0xF0,
                                                0x48, 0x20, 0x00, 0x60, 0x50, 0x00}));
    EXPECT_TRUE(added[3].displayOnly);
    EXPECT_EQ(added[3].timeStamp, now);
    expectNumbered(added);
}

TEST(SendQueue, CursorTakesInOrderAndKeepsTheHistory) {
    SendQueue queue;
    EXPECT_FALSE(queue.peekAtCursor());
    EXPECT_FALSE(queue.takeAtCursor());
    EXPECT_EQ(queue.cursor(), 0u);

    queue.append(L"12345", false);
    for (const wchar_t* expected : {L"1", L"2", L"3"}) {
        ASSERT_EQ(queue.peekAtCursor()->text, expected);
        ASSERT_EQ(queue.takeAtCursor()->text, expected);
    }
    EXPECT_EQ(queue.pendingCount(), 2u);
    EXPECT_EQ(queue.cursor(), 3u);
    EXPECT_EQ(queue.text(), L"12345");
    EXPECT_EQ(queue.peekAtCursor()->index, 3);

    queue.takeAtCursor();
    queue.takeAtCursor();
    EXPECT_FALSE(queue.takeAtCursor());
    EXPECT_EQ(queue.cursor(), 5u);
    // Taking from an empty end does not move the cursor past what comes next.
    queue.append(L"6", false);
    EXPECT_EQ(queue.takeAtCursor()->text, L"6");
}

TEST(SendQueue, RemovePendingFromEndNeverTouchesKeyedElements) {
    SendQueue queue;
    queue.append(L"ABCDE", false);
    queue.takeAtCursor();
    queue.takeAtCursor();
    queue.takeAtCursor();
    EXPECT_EQ(queue.removePendingFromEnd(5), 2u);
    EXPECT_EQ(queue.text(), L"ABC");
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_EQ(queue.removePendingFromEnd(5), 0u);
    EXPECT_EQ(queue.text(), L"ABC");

    queue.append(L"FGH", false);
    EXPECT_EQ(queue.removePendingFromEnd(1), 1u);
    EXPECT_EQ(queue.text(), L"ABCFG");
    EXPECT_EQ(queue.removePendingFromEnd(0), 0u);
    EXPECT_EQ(queue.pendingCount(), 2u);
    queue.append(L"I", false);
    expectNumbered(queue.elements());
}

TEST(SendQueue, ResetAllStartsOver) {
    SendQueue queue;
    queue.append(L"ABC", false);
    queue.takeAtCursor();
    queue.resetAll();
    EXPECT_EQ(queue.text(), L"");
    EXPECT_EQ(queue.cursor(), 0u);
    EXPECT_EQ(queue.pendingCount(), 0u);
    queue.append(L"XY", false);
    EXPECT_EQ(queue.takeAtCursor()->text, L"X");
    expectNumbered(queue.elements());
}

// A clear is counted with the pending elements going: what was read or taken under the count
// before it is void after it, so nothing of it is appended or taken.
TEST(SendQueue, NothingReadBeforeAClearIsAppendedOrTakenAfterIt) {
    SendQueue queue;
    queue.append(L"AB", false);
    const SendQueue::ClearCount before = queue.clearCount();
    EXPECT_EQ(queue.takeAtCursorUnlessClearedSince(before)->text, L"A");
    queue.clearPending();
    EXPECT_EQ(queue.text(), L"A");
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_FALSE(queue.append(L"CQ", false, before));
    EXPECT_FALSE(queue.appendExpanded(L"CQ", InfoForMacroExpansion{}, before));
    EXPECT_TRUE(queue.append(L"K", false));
    EXPECT_FALSE(queue.takeAtCursorUnlessClearedSince(before));
    EXPECT_EQ(queue.pendingCount(), 1u);
    EXPECT_TRUE(queue.append(L"E", false, queue.clearCount()));
    EXPECT_EQ(queue.takeAtCursorUnlessClearedSince(queue.clearCount())->text, L"K");
    EXPECT_EQ(queue.text(), L"AKE");
    expectNumbered(queue.elements());
}

// Past its bound the history drops its oldest keyed text, from a line break on when one is near;
// pending elements stay, however many, and the text stays that of the elements.
TEST(SendQueue, TheKeyedHistoryKeepsItsNewestTextWithinItsBound) {
    SendQueue queue(SendQueue::systemClockMilliseconds, {100, 20});
    const auto keyAll = [&queue] {
        while (queue.takeAtCursor()) {
        }
    };
    std::wstring all;
    for (int line = 0; line < 20; ++line) {
        const std::wstring text = L"CQ DE JA1ZZZ " + std::to_wstring(line % 10) + L"\n";
        queue.append(text, false);
        keyAll();
        all += text;
        const std::wstring shown = queue.text();
        EXPECT_LE(shown.size(), 120u);
        ASSERT_EQ(all.substr(all.size() - shown.size()), shown);
        if (all.size() > 120) {
            EXPECT_GE(shown.size(), 90u);
            EXPECT_EQ(shown.substr(0, 2), L"CQ") << "a whole line first";
        }
        expectNumbered(queue.elements());
    }
    EXPECT_EQ(queue.cursor(), queue.elements().size());

    queue.append(std::wstring(300, L'E'), false);  // pending: all of it stays
    EXPECT_EQ(queue.pendingCount(), 300u);
    queue.takeAtCursor();
    queue.append(L"T", false);
    EXPECT_EQ(queue.pendingCount(), 300u);
    const std::wstring pending = std::wstring(299, L'E') + L"T";
    ASSERT_GE(queue.text().size(), pending.size());
    EXPECT_EQ(queue.text().substr(queue.text().size() - pending.size()), pending);
    keyAll();
    queue.append(L"K", false);
    EXPECT_LE(queue.text().size(), 120u);
    EXPECT_EQ(queue.text().back(), L'K');
    expectNumbered(queue.elements());
}

// One thread queues stored messages and typed text while another keys them, expanding the
// deferred macros it meets: every character arrives exactly once and in order.
TEST(SendQueue, ConcurrentAppendAndTakeLoseAndDuplicateNothing) {
    constexpr int kMessages = 2000;
    SendQueue queue;
    InfoForMacroExpansion info;
    info.report = L"5NN";
    info.hisName = L"(TARO)";

    std::wstring expected;
    for (int i = 0; i < kMessages; ++i) {
        const wchar_t letter = static_cast<wchar_t>(L'A' + i % 26);
        expected += std::wstring(1, letter) + (i % 3 == 0 ? L"5NNTARO" : L"[KN]");
    }

    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        for (int i = 0; i < kMessages; ++i) {
            const wchar_t letter = static_cast<wchar_t>(L'a' + i % 26);
            if (i % 3 == 0) {
                queue.appendExpanded(std::wstring(1, letter) + L"$R$A", info);
            } else if (i % 3 == 1) {
                queue.appendExpanded(std::wstring(1, letter) + L"[KN]", info);
            } else {
                queue.append(std::wstring(1, letter) + L"[KN]", false);
            }
        }
        writerDone = true;
    });

    std::wstring keyed;
    int deferredSeen = 0;
    const bool finished = testing_support::wait_for(
        [&] {
            // Only this thread takes, so what was pending stays pending.
            while (queue.pendingCount() > 0) {
                if (queue.peekAtCursor()->kind == SendElement::kDeferredMacro) {
                    ++deferredSeen;
                    queue.expandDeferredAtCursor(info);
                }
                const auto taken = queue.takeAtCursor();
                EXPECT_NE(taken->kind, SendElement::kDeferredMacro);
                keyed += taken->text;
            }
            return writerDone.load() && queue.pendingCount() == 0;
        },
        std::chrono::seconds(60));
    writer.join();

    ASSERT_TRUE(finished);
    EXPECT_TRUE(keyed == expected) << "keyed " << keyed.size() << " of " << expected.size();
    EXPECT_TRUE(queue.text() == expected);
    EXPECT_EQ(deferredSeen, 2 * ((kMessages + 2) / 3));
    expectNumbered(queue.elements());
}

}  // namespace
