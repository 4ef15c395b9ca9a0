#include "MacroExpansion.h"

#include "SendQueue.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using omvar::Vetrin::AppSettings;
using omvar::Vetrin::fillInfoForMacroExpansion;
using omvar::Vetrin::HamlogControlId;
using omvar::Vetrin::InfoForMacroExpansion;
using omvar::Vetrin::macroValue;
using omvar::Vetrin::replaceAll;
using omvar::Vetrin::SendElement;
using omvar::Vetrin::SendQueue;

namespace {

// A time stamp (ms) for a local wall-clock time, whatever the machine's time zone. A date in
// mid-January is clear of daylight-saving changes in every zone.
std::int64_t localStamp(int hour, int minute) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 0;
    local.tm_mday = 14;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local)) * 1000 + 999;
}

SendElement macro(const wchar_t* name, std::int64_t timeStamp = 0) {
    SendElement element;
    element.kind = SendElement::kDeferredMacro;
    element.text = name;
    element.timeStamp = timeStamp;
    return element;
}

struct Described {
    int kind;
    std::wstring text;
    int code;
    bool operator==(const Described&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Described& d) {
    out << "{" << d.kind << ", \"";
    for (wchar_t ch : d.text) {
        if (ch < 0x80) {
            out << static_cast<char>(ch);
        } else {
            out << "\\u" << std::hex << static_cast<int>(ch) << std::dec;
        }
    }
    return out << "\", " << d.code << "}";
}

std::vector<Described> describe(const SendQueue& queue) {
    std::vector<Described> out;
    for (const auto& element : queue.elements()) {
        out.push_back({element.kind, element.text, element.code});
        EXPECT_EQ(element.prosign, element.kind == SendElement::kProsign) << element.index;
        EXPECT_FALSE(element.displayOnly);
    }
    return out;
}

std::vector<Described> characters(const std::wstring& text) {
    std::vector<Described> out;
    SendQueue queue;
    queue.append(text, false);
    for (const auto& element : queue.elements()) {
        out.push_back({element.kind, element.text, element.code});
    }
    return out;
}

std::vector<Described> operator+(std::vector<Described> a, const std::vector<Described>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ReplaceAll, ContinuesAfterTheReplacement) {
    EXPECT_EQ(replaceAll(L"A0B00", L"0", L"00"), L"A00B0000");
    EXPECT_EQ(replaceAll(L"aaaa", L"aa", L"b"), L"bb");
    EXPECT_EQ(replaceAll(L"abc", L"", L"x"), L"abc");
    EXPECT_EQ(replaceAll(L"a/b/", L"/", L""), L"ab");
}

TEST(MacroContext, ReadsFieldsAndReplacesDigitsInOrder) {
    AppSettings settings;
    settings.myCallSign = L"XX9XXX/1";
    settings.number = L"1009";
    settings.replace0 = L"1";  // becomes "T" in the next pass
    settings.replace1 = L"T";
    settings.replace9 = L"N0";  // the "0" pass is over: stays "0"
    settings.endGM = 11;
    settings.endGA = 17;
    settings.endGE = 5;
    std::map<HamlogControlId, std::wstring> fields = {{HamlogControlId::callField, L"JA1ABC"},
                                                      {HamlogControlId::nameField, L"Taro"}};
    const auto read = [&](HamlogControlId id) { return fields[id]; };

    InfoForMacroExpansion info = fillInfoForMacroExpansion(settings, read);
    EXPECT_EQ(info.hisCall, L"JA1ABC");
    EXPECT_EQ(info.hisName, L"Taro");
    EXPECT_EQ(info.myCall, L"XX9XXX/1");
    EXPECT_EQ(info.number, L"TTTN0");
    EXPECT_EQ(info.report, L"5N0N0");  // empty report field: "599"
    EXPECT_EQ(info.endGM, 11);
    EXPECT_EQ(info.endGA, 17);
    EXPECT_EQ(info.endGE, 5);

    fields[HamlogControlId::hisRstField] = L"579";
    EXPECT_EQ(fillInfoForMacroExpansion(settings, read).report, L"57N0");

    const InfoForMacroExpansion fresh;
    EXPECT_EQ(fresh.endGM, 12);
    EXPECT_EQ(fresh.endGA, 18);
    EXPECT_EQ(fresh.endGE, 0);
}

// Each field read is a round trip to HAMLOG's thread while the operator waits for the key: a
// message being queued is read only the fields its immediate macros take.
TEST(MacroContext, ReadsOnlyTheFieldsItsMacrosTake) {
    const std::map<HamlogControlId, std::wstring> fields = {{HamlogControlId::callField, L"JA1ABC"},
                                                            {HamlogControlId::nameField, L"Taro"},
                                                            {HamlogControlId::hisRstField, L"578"}};
    std::vector<HamlogControlId> reads;
    const auto read = [&](HamlogControlId id) {
        reads.push_back(id);
        return fields.at(id);
    };
    const AppSettings settings;
    const auto readFor = [&](omvar::Vetrin::MacroFields wanted) {
        reads.clear();
        return fillInfoForMacroExpansion(settings, read, wanted);
    };

    readFor(omvar::Vetrin::fieldsForImmediateMacros(L"DE $M $M $N $G [AR]"));
    EXPECT_TRUE(reads.empty());
    // "$R" and "$A" are read when keyed, not when queued.
    EXPECT_EQ(readFor(omvar::Vetrin::fieldsForImmediateMacros(L"$C UR $R TNX $A")).hisCall,
              L"JA1ABC");
    EXPECT_EQ(reads, std::vector<HamlogControlId>{HamlogControlId::callField});
    // A late macro's context, made when the cursor reaches it, is read whole.
    EXPECT_EQ(readFor({}).report, L"578");
    EXPECT_EQ(reads.size(), 3u);
}

TEST(MacroValue, GreetingFollowsTheLocalHourOfTheElement) {
    const struct {
        int hour, minute;
        const wchar_t* greeting;
    } cases[] = {{11, 59, L"GM"}, {12, 0, L"GA"},  {17, 59, L"GA"},
                 {18, 0, L"GE"},  {23, 59, L"GE"}, {0, 0, L"GM"}};
    for (int endGE : {0, 3, 23}) {
        InfoForMacroExpansion info;
        info.endGE = endGE;
        for (const auto& c : cases) {
            EXPECT_EQ(macroValue(macro(L"$G", localStamp(c.hour, c.minute)), info), c.greeting)
                << c.hour << ":" << c.minute << " endGE " << endGE;
        }
    }
}

TEST(MacroValue, UnconvertibleTimeThrows) {
    try {
        macroValue(macro(L"$G", -86'400'000), InfoForMacroExpansion{});
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Error getting local time");
    }
}

TEST(AppendExpanded, LowerCaseMacroFromTheSettings) {
    SendQueue queue;
    InfoForMacroExpansion info;
    info.myCall = L"XX9XXX/1";
    queue.appendExpanded(L"cq de $m", info);
    EXPECT_EQ(describe(queue), characters(L"CQ DE XX9XXX/1"));
    EXPECT_EQ(queue.elements().back().code, 0x7C);
}

TEST(AppendExpanded, DeferredReportIsFilledWhenTheCursorReachesIt) {
    std::int64_t now = 1'000'000;
    SendQueue queue([&] { return now; });
    AppSettings settings;
    settings.replace0 = L"O";
    settings.replace1 = L"1";
    settings.replace9 = L"N";
    const auto read = [](HamlogControlId id) {
        return id == HamlogControlId::callField ? std::wstring(L"JA1ABC") : std::wstring();
    };
    queue.appendExpanded(L"$C UR $R [KN]", fillInfoForMacroExpansion(settings, read));
    const std::vector<Described> queued =
        characters(L"JA1ABC UR ") +
        std::vector<Described>{{2, L"$R", 0}, {0, L" ", 0x80}, {1, L"[KN]", 0xB4}};
    EXPECT_EQ(describe(queue), queued);
    auto elements = queue.elements();
    EXPECT_EQ(elements[10].offset, 10);
    EXPECT_EQ(elements[12].offset, 13);
    EXPECT_EQ(elements[12].index, 12);
    EXPECT_EQ(elements[10].timeStamp, 1'000'000);

    // Nothing to do while the cursor is on an ordinary element.
    queue.expandDeferredAtCursor(fillInfoForMacroExpansion(settings, read));
    EXPECT_EQ(queue.elements().size(), 13u);
    for (int i = 0; i < 10; ++i) {
        queue.takeAtCursor();
    }
    now = 2'000'000;
    queue.expandDeferredAtCursor(fillInfoForMacroExpansion(settings, read));
    EXPECT_EQ(queue.text(), L"JA1ABC UR 5NN [KN]");
    EXPECT_EQ(describe(queue),
              (characters(L"JA1ABC UR 5NN ") + std::vector<Described>{{1, L"[KN]", 0xB4}}));
    elements = queue.elements();
    EXPECT_EQ(elements[10].timeStamp, 2'000'000);
    EXPECT_EQ(elements[14].offset, 14);
    EXPECT_EQ(elements[14].index, 14);
    EXPECT_EQ(queue.cursor(), 10u);
    EXPECT_EQ(queue.pendingCount(), 5u);
}

TEST(AppendExpanded, EmptyDeferredValueLeavesNothing) {
    SendQueue queue;
    queue.appendExpanded(L"$A(K)", InfoForMacroExpansion{});
    queue.expandDeferredAtCursor(InfoForMacroExpansion{});
    EXPECT_EQ(queue.text(), L"(K)");
    EXPECT_EQ(queue.peekAtCursor()->text, L"(");
    EXPECT_EQ(queue.elements().front().offset, 0);

    InfoForMacroExpansion info;
    info.hisName = L"Ken(Jr)/P";
    queue.appendExpanded(L" $a", info);
    while (queue.peekAtCursor()->kind != SendElement::kDeferredMacro) {
        queue.takeAtCursor();
    }
    queue.expandDeferredAtCursor(info);
    EXPECT_EQ(queue.text(), L"(K) KenJrP");  // as HAMLOG holds it, not upper-cased
    queue.takeAtCursor();
    queue.takeAtCursor();
    queue.takeAtCursor();
    queue.takeAtCursor();
    queue.takeAtCursor();
    EXPECT_EQ(queue.pendingCount(), 1u);
    // At the end of the queue there is nothing to expand.
    queue.takeAtCursor();
    queue.expandDeferredAtCursor(info);
    EXPECT_EQ(queue.text(), L"(K) KenJrP");
}

// An empty value inside the queue: the elements before and after the macro keep their texts,
// whichever side of the queue is the shorter one.
TEST(AppendExpanded, EmptyDeferredValueKeepsItsNeighbours) {
    for (const std::wstring history : {L"X", L"ABCDEF"}) {
        SCOPED_TRACE(std::string(history.begin(), history.end()));
        SendQueue queue;
        queue.append(history, false);
        while (queue.takeAtCursor()) {
        }
        queue.appendExpanded(L"$A$R YZWV", InfoForMacroExpansion{});
        queue.expandDeferredAtCursor(InfoForMacroExpansion{});
        EXPECT_EQ(queue.text(), history + L"$R YZWV");
        EXPECT_EQ(queue.peekAtCursor()->text, L"$R");
        InfoForMacroExpansion info;
        info.report = L"599";
        queue.expandDeferredAtCursor(info);
        EXPECT_EQ(queue.text(), history + L"599 YZWV");
    }
}

TEST(AppendExpanded, GreetingUsesTheQueueClock) {
    std::int64_t now = localStamp(12, 0);
    SendQueue queue([&] { return now; });
    queue.appendExpanded(L"$G ", InfoForMacroExpansion{});
    now = localStamp(18, 30);
    queue.appendExpanded(L"$g", InfoForMacroExpansion{});
    EXPECT_EQ(queue.text(), L"GA GE");

    // A failing conversion reaches the caller and adds nothing.
    now = -5000;
    EXPECT_THROW(queue.appendExpanded(L"ABC $G", InfoForMacroExpansion{}), std::runtime_error);
    EXPECT_EQ(queue.text(), L"GA GE");
    queue.appendExpanded(L"K", InfoForMacroExpansion{});
    EXPECT_EQ(queue.text(), L"GA GEK");
}

TEST(AppendExpanded, ProsignsInEveryForm) {
    SendQueue queue;
    queue.appendExpanded(L"[ar][ＡＲ][ほれ]ほれ[ﾗﾀ][VA][BK]", InfoForMacroExpansion{});
    EXPECT_EQ(describe(queue), (std::vector<Described>{{1, L"[AR]", 0x54},
                                                       {1, L"[AR]", 0x54},
                                                       {1, L"[ﾎﾚ]", 0x9E},
                                                       {0, L"ﾎ", 0x90},
                                                       {0, L"ﾚ", 0xF0},
                                                       {1, L"[ﾗﾀ]", 0x14},
                                                       {1, L"[VA]", 0x16},
                                                       {1, L"[BK]", 0x8B}}));
    EXPECT_EQ(queue.elements()[2].offset, 8);
    EXPECT_EQ(queue.elements()[4].offset, 13);
}

TEST(AppendExpanded, WhatIsNotAMacroOrProsignIsCharacters) {
    SendQueue queue;
    queue.appendExpanded(L"", InfoForMacroExpansion{});
    EXPECT_TRUE(queue.elements().empty());

    queue.appendExpanded(L"$X [SK] [AR $", InfoForMacroExpansion{});
    EXPECT_EQ(describe(queue), (std::vector<Described>{{0, L"$", 0},
                                                       {0, L"X", 0x98},
                                                       {0, L" ", 0x80},
                                                       {0, L"[", 0},
                                                       {0, L"S", 0x10},
                                                       {0, L"K", 0xB0},
                                                       {0, L"]", 0},
                                                       {0, L" ", 0x80},
                                                       {0, L"[", 0},
                                                       {0, L"A", 0x60},
                                                       {0, L"R", 0x50},
                                                       {0, L" ", 0x80},
                                                       {0, L"$", 0}}));
}

TEST(AppendExpanded, ImmediatePassesRunInOrder) {
    InfoForMacroExpansion info;
    info.hisCall = L"$M$N";  // later passes expand these
    info.myCall = L"M";
    info.number = L"$C$R";  // "$C" is already done; "$R" becomes a deferred macro
    info.report = L"599";
    SendQueue queue;
    queue.appendExpanded(L"$C", info);
    EXPECT_EQ(describe(queue), (characters(L"M$C") + std::vector<Described>{{2, L"$R", 0}}));
}

}  // namespace
