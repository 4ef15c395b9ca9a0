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
