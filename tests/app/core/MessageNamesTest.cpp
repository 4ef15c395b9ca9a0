#include "MessageNames.h"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstdint>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

using omvar::Vetrin::messageDisplayName;
using omvar::Vetrin::messageName;
using omvar::Vetrin::messageNameCount;
using omvar::Vetrin::messageNameList;
using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

std::wstring nameOf(std::uint32_t id) {
    const wchar_t* name = messageName(id);
    return name == nullptr ? L"(none)" : name;
}

std::vector<std::wstring> allNamesOf(std::uint32_t id) {
    std::vector<std::wstring> names;
    for (const auto& entry : messageNameList()) {
        if (entry.id == id) {
            names.emplace_back(entry.name);
        }
    }
    return names;
}

TEST(MessageNames, NamesTheMessagesTheTrackerForwards) {
    const struct {
        std::uint32_t id;
        const wchar_t* name;
    } rows[] = {
        {0x0000, L"WM_NULL"},
        {0x0003, L"WM_MOVE"},
        {0x0005, L"WM_SIZE"},
        {0x0006, L"WM_ACTIVATE"},
        {0x0007, L"WM_SETFOCUS"},
        {0x0008, L"WM_KILLFOCUS"},
        {0x0047, L"WM_WINDOWPOSCHANGED"},
        {0x00F1, L"BM_SETCHECK"},
        {0x00F3, L"BM_SETSTATE"},
        {0x0100, L"WM_KEYDOWN"},
        {0x0101, L"WM_KEYUP"},
        {0x0102, L"WM_CHAR"},
        {0x0104, L"WM_SYSKEYDOWN"},
        {0x0105, L"WM_SYSKEYUP"},
        {0x00C5, L"EM_LIMITTEXT"},
        {0x0200, L"WM_MOUSEFIRST"},
        {0x0109, L"WM_UNICHAR"},
        {0x0209, L"WM_MBUTTONDBLCLK"},
        {0x0400, L"DDM_SETFMT"},
        {0x2000, L"OCM__BASE"},
        {0x8000, L"WM_APP"},
        {0xCCCD, L"WM_RASDIALEVENT"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(nameOf(row.id), row.name) << std::hex << row.id;
    }
    // The one forwarded identifier without a name.
    EXPECT_EQ(messageName(0x004D), nullptr);
}

TEST(MessageNames, SharedIdentifierGivesItsFirstNameInAsciiOrder) {
    EXPECT_THAT(allNamesOf(0x0100), ElementsAre(L"WM_KEYDOWN", L"WM_KEYFIRST"));
    EXPECT_THAT(allNamesOf(0x0200), ElementsAre(L"WM_MOUSEFIRST", L"WM_MOUSEMOVE"));
    EXPECT_THAT(allNamesOf(0x00C5), ElementsAre(L"EM_LIMITTEXT", L"EM_SETLIMITTEXT"));
    EXPECT_THAT(allNamesOf(0x0400), ElementsAre(L"DDM_SETFMT", L"DM_GETDEFID", L"NIN_SELECT",
                                                L"TBM_GETPOS", L"WM_PSD_PAGESETUPDLG", L"WM_USER"));
    // Range ends keep their first value, so they never hide a message added later in the range.
    EXPECT_THAT(allNamesOf(0x0109), ElementsAre(L"WM_UNICHAR", L"WM_WNT_CONVERTREQUESTEX"));
    EXPECT_THAT(allNamesOf(0x0209), ElementsAre(L"WM_MBUTTONDBLCLK", L"WM_MOUSELAST"));
    EXPECT_THAT(allNamesOf(0x0108), ElementsAre(L"WM_KEYLAST"));
    EXPECT_THAT(allNamesOf(0x020E), ElementsAre(L"WM_MOUSEHWHEEL"));
}

TEST(MessageNames, ListIsSortedByIdentifierThenNameWithoutRepeats) {
    const auto list = messageNameList();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front().id, 0x0000u);
    EXPECT_EQ(list.back().id, 0xCCCDu);
    for (std::size_t i = 1; i < list.size(); ++i) {
        const auto& a = list[i - 1];
        const auto& b = list[i];
        const bool ascending = a.id < b.id || (a.id == b.id && std::wcscmp(a.name, b.name) < 0);
        EXPECT_TRUE(ascending) << "entry " << i << " at 0x" << std::hex << b.id;
    }
}

TEST(MessageNames, TableHoldsTheListsFirstNamesAndNothingElse) {
    std::set<std::uint32_t> ids;
    for (const auto& entry : messageNameList()) {
        if (ids.insert(entry.id).second) {
            // The same pointer: the table refers to the list's text and never copies it.
            EXPECT_EQ(messageName(entry.id), entry.name) << std::hex << entry.id;
        }
    }
    EXPECT_EQ(messageNameCount(), ids.size());
    for (std::uint32_t id = 0; id <= 0x10000; ++id) {
        if (!ids.contains(id)) {
            ASSERT_EQ(messageName(id), nullptr) << std::hex << id;
        }
    }
    EXPECT_EQ(messageName(0xFFFFFFFFu), nullptr);
}

TEST(MessageNames, ConstantsThatShareAPrefixButAreNoMessagesAreLeftOut) {
    // Scroll codes, track-bar notification codes, system metrics, DEVMODE fields, callback and
    // return codes, serial-port errors, socket flags, sizes and option bits.
    const std::set<std::wstring> notMessages = {
        L"SB_LINEUP",        L"SB_ENDSCROLL",    L"TB_LINEUP",      L"TB_ENDTRACK",
        L"SM_CXSCREEN",      L"SM_CMETRICS",     L"DM_ORIENTATION", L"DM_PRINTQUALITY",
        L"BFFM_INITIALIZED", L"BFFM_SELCHANGED", L"DL_CURSORSET",   L"DL_STOPCURSOR",
        L"IE_BADID",         L"MSG_OOB",         L"MSG_PARTIAL",    L"WIZ_CXDLG",
        L"UM_SELTYPE_USER",  L"WM_CAP_START",
    };
    const std::vector<std::wstring> prefixes = {
        L"WM_",   L"EM_",   L"LVM_",     L"TB_",   L"TBM_", L"TTM_", L"RB_",  L"PSM_", L"SB_",
        L"CBEM_", L"UDM_",  L"PBM_",     L"BM_",   L"SBM_", L"HKM_", L"IPM_", L"ACM_", L"DL_",
        L"CDM_",  L"BFFM_", L"MCIWNDM_", L"FM_",   L"IE_",  L"DDM_", L"DM_",  L"NIN_", L"WIZ_",
        L"UM_",   L"SM_",   L"MSG_",     L"TAPI_", L"WLX_", L"OCM_",
    };
    for (const auto& entry : messageNameList()) {
        const std::wstring name = entry.name;
        EXPECT_FALSE(notMessages.contains(name)) << std::string(name.begin(), name.end());
        bool known = false;
        for (const auto& prefix : prefixes) {
            known = known || name.starts_with(prefix);
        }
        EXPECT_TRUE(known) << std::string(name.begin(), name.end());
    }
    EXPECT_THAT(allNamesOf(0x0000), ElementsAreArray({L"WM_NULL"}));
}

TEST(MessageNames, DisplayNameIsTheNameOrTheIdentifier) {
    EXPECT_EQ(messageDisplayName(0x0100), "WM_KEYDOWN");
    EXPECT_EQ(messageDisplayName(0x2000), "OCM__BASE");
    EXPECT_EQ(messageDisplayName(0x004D), "0x004D");
    EXPECT_EQ(messageDisplayName(0xC0DE), "0xC0DE");
    EXPECT_EQ(messageDisplayName(0x12345), "0x12345");
}

}  // namespace
