// The options sheet, driven through its controls: what it shows, the record it returns after OK,
// the range refusals that keep a page open, and Cancel.
#include "AppOptionDialog.h"
#include "AppSettings.h"
#include "SettingsFilePath.h"
#include "resource.h"

#include "AppSettingsPrinter.h"
#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace dialog_test;
using omvar::Vetrin::AppOptionDialog;
using omvar::Vetrin::AppSettings;

namespace {

const std::wstring kSheetCaption = L"Vetrinのオプション";
constexpr int kPage1 = 0;
constexpr int kPage2 = 1;
constexpr int kPage3 = 2;

// The record a first start loads: no settings file.
AppSettings defaults() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const auto missing = std::filesystem::path(folder) / L"vetrin-dialog-test-none.ini";
    std::filesystem::remove(missing);
    omvar::Vetrin::setSettingsFilePath(missing.wstring());
    AppSettings s;
    omvar::Vetrin::loadSettings(s);
    return s;
}

struct SheetRun {
    INT_PTR result = 0;
    AppSettings settings;
};

// Opens the sheet on `settings` and `bank`; `script` gets the sheet's window and this thread.
SheetRun runSheet(const AppSettings& settings, int bank,
                  const std::function<void(HWND sheet, DWORD gui)>& script) {
    AppOptionDialog options(settings, bank);
    SheetRun run;
    run.result = drive([&] { return options.DoModal(nullptr); },
                       [&](DWORD gui) {
                           const HWND sheet = waitForDialog(gui, kSheetCaption);
                           ASSERT_NE(sheet, nullptr) << "the sheet did not open";
                           script(sheet, gui);
                       });
    run.settings = options.settings();
    return run;
}

// Confirms the sheet and waits until it has closed.
void confirm(HWND sheet) {
    pressSheetButton(sheet, PSBTN_OK);
    EXPECT_TRUE(wait_for([&] { return !IsWindow(sheet); })) << "the sheet stayed open";
}

TEST(OptionSheet, ShowsTheSettingsAndReturnsTheEditedRecord) {
    AppSettings original = defaults();
    original.myCallSign = L"JA1ZZZ";
    original.cqInt = 4000;
    original.fn12 = true;
    original.noReduceDeviceFreezes = true;  // no control: must come back as it went in
    original.sendBufferMaxCount = 5;

    AppSettings expected = original;
    const auto run = runSheet(original, 1, [&](HWND sheet, DWORD) {
        HWND page = currentPage(sheet);
        EXPECT_EQ(currentPageIndex(sheet), kPage1);
        // Page 1 opens on the bank it was given.
        EXPECT_FALSE(checked(page, IDC_BANK_A));
        EXPECT_TRUE(checked(page, IDC_BANK_B));
        EXPECT_EQ(text(page, IDC_MSG_F01), L"DE $M $M [AR]");
        EXPECT_EQ(text(page, IDC_MSG_F12), L"Fn12");
        EXPECT_EQ(text(page, IDC_MY_CALLSIGN), L"JA1ZZZ");
        EXPECT_EQ(text(page, IDC_CQ_INTERVAL), L"4.0");
        EXPECT_EQ(text(page, IDC_REPLACE0), L"0");

        setText(page, IDC_MSG_F03, L"ﾃｽﾄ 73 テスト ＴＵ");
        expected.fnMessage[1][2] = L"ﾃｽﾄ 73 テスト ＴＵ";
        setText(page, IDC_MY_CALLSIGN, L"jr1abc/p");  // kept as entered
        expected.myCallSign = L"jr1abc/p";
        setText(page, IDC_NUMBER, L"1009");
        expected.number = L"1009";
        setText(page, IDC_REPLACE0, L"");
        expected.replace0 = L"0";
        setText(page, IDC_REPLACE9, L"N");
        expected.replace9 = L"N";
        setText(page, IDC_CQ_INTERVAL, L" 2.5 ");
        expected.cqInt = 2500;
        EXPECT_TRUE(screenshot(sheet, L"options-page1.png"));

        page = selectPage(sheet, kPage2);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(text(page, IDC_WPM), L"20");
        EXPECT_EQ(text(page, IDC_WEIGHT_DOT), L"1.0");
        EXPECT_EQ(text(page, IDC_WEIGHT_DASH), L"3.0");
        EXPECT_EQ(text(page, IDC_PTT_DELAY_BEFORE), L"25");
        EXPECT_EQ(text(page, IDC_PTT_DELAY_AFTER), L"200");
        EXPECT_TRUE(checked(page, IDC_PTT));
        EXPECT_TRUE(checked(page, IDC_SIDE_TONE));
        EXPECT_TRUE(checked(page, IDC_PADDLE_KEYBOARD));
        const HWND tones = GetDlgItem(page, IDC_TONE_LEVEL);
        std::vector<std::wstring> entries;
        for (int i = 0; i < SendMessageW(tones, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t entry[16] = {};
            SendMessageW(tones, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
            entries.emplace_back(entry);
        }
        EXPECT_EQ(entries, (std::vector<std::wstring>{L"3906", L"1953", L"1302", L"977", L"781",
                                                      L"651", L"558", L"488", L"434", L"391",
                                                      L"355", L"326", L"300"}));
        EXPECT_EQ(SendMessageW(tones, CB_GETCURSEL, 0, 0), 7);

        setText(page, IDC_WPM, L"35");
        expected.wpm = 35;
        // Weights to the nearest half, and the smaller one is the dot's.
        setText(page, IDC_WEIGHT_DOT, L"3.2");
        setText(page, IDC_WEIGHT_DASH, L"0.9");
        expected.weightDot = 1.0f;
        expected.weightDash = 3.0f;
        click(page, IDC_PADDLE_REVERSE);
        expected.paddleRvs = true;
        click(page, IDC_PTT);
        expected.ptt = false;
        setText(page, IDC_PTT_DELAY_BEFORE, L"0");
        expected.pttDelayP = 0;
        setText(page, IDC_PTT_DELAY_AFTER, L"255");
        expected.pttDelayA = 255;
        click(page, IDC_PTT_CQ_MACHINE);
        expected.pttCqMachine = true;
        SendMessageW(tones, CB_SETCURSEL, 12, 0);
        expected.toneLevel = 12;
        click(page, IDC_PADDLE_KEYBOARD);
        expected.paddleKbd = false;
        EXPECT_TRUE(screenshot(sheet, L"options-page2.png"));

        page = selectPage(sheet, kPage3);
        ASSERT_NE(page, nullptr);
        EXPECT_FALSE(checked(page, IDC_SHOW_FN8));
        EXPECT_TRUE(checked(page, IDC_SHOW_FN12));
        EXPECT_TRUE(checked(page, IDC_SPY_HL_KEY));
        EXPECT_TRUE(checked(page, IDC_CLOSE_ANYWAY));
        EXPECT_EQ(text(page, IDC_END_GM), L"12");
        EXPECT_EQ(text(page, IDC_END_GA), L"18");
        EXPECT_EQ(text(page, IDC_END_GE), L"0");
        click(page, IDC_LOG_TIME);
        expected.logTime = true;
        click(page, IDC_VIEW_TOP);
        expected.viewTop = true;
        click(page, IDC_SHOW_FN8);
        expected.fn12 = false;
        click(page, IDC_CW_ALWAYS);
        expected.cwAlways = true;
        click(page, IDC_CLOSE_ANYWAY);
        expected.closeAnyway = false;
        setText(page, IDC_END_GM, L"9");
        expected.endGM = 9;
        setText(page, IDC_END_GA, L"21");
        expected.endGA = 21;
        setText(page, IDC_END_GE, L"5");
        expected.endGE = 5;
        EXPECT_TRUE(screenshot(sheet, L"options-page3.png"));

        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.settings, expected);
}

TEST(OptionSheet, WeightsComeBackInHalvesWithTheDotNoLongerThanTheDash) {
    struct Case {
        const wchar_t* dot;
        const wchar_t* dash;
        float storedDot;
        float storedDash;
    };
    // 0 and 0.2 both end as 0.5: equal weights, which the interface refuses (and logs).
    for (const Case c : {Case{L"3.2", L"0.9", 1.0f, 3.0f}, Case{L"0", L"0.2", 0.5f, 0.5f},
                         Case{L"1.74", L"4.76", 1.5f, 5.0f}, Case{L"２．２５", L"5", 2.5f, 5.0f}}) {
        const auto run = runSheet(defaults(), 0, [&](HWND sheet, DWORD) {
            const HWND page = selectPage(sheet, kPage2);
            ASSERT_NE(page, nullptr);
            setText(page, IDC_WEIGHT_DOT, c.dot);
            setText(page, IDC_WEIGHT_DASH, c.dash);
            confirm(sheet);
        });
        EXPECT_EQ(run.result, IDOK);
        EXPECT_EQ(run.settings.weightDot, c.storedDot) << testing::PrintToString(c.dot);
        EXPECT_EQ(run.settings.weightDash, c.storedDash) << testing::PrintToString(c.dash);
    }
}

TEST(OptionSheet, BankSwitchesKeepTheEditsOfBothBanks) {
    const AppSettings original = defaults();
    AppSettings expected = original;
    const auto run = runSheet(original, 0, [&](HWND sheet, DWORD) {
        const HWND page = currentPage(sheet);
        EXPECT_TRUE(checked(page, IDC_BANK_A));
        EXPECT_EQ(text(page, IDC_MSG_F05), L"QRZ?");
        setText(page, IDC_MSG_F01, L"CQ TEST $M");
        expected.fnMessage[0][0] = L"CQ TEST $M";

        click(page, IDC_BANK_B);
        EXPECT_EQ(text(page, IDC_MSG_F01), L"DE $M $M [AR]");
        EXPECT_EQ(text(page, IDC_MSG_F05), L"Fn05");
        setText(page, IDC_MSG_F02, L"R $R TU");
        expected.fnMessage[1][1] = L"R $R TU";

        click(page, IDC_BANK_A);
        EXPECT_EQ(text(page, IDC_MSG_F01), L"CQ TEST $M");
        EXPECT_EQ(text(page, IDC_MSG_F02), L"$C UR $R [KN]");
        setText(page, IDC_MSG_F12, L"QRL?");
        expected.fnMessage[0][11] = L"QRL?";

        click(page, IDC_BANK_B);
        EXPECT_EQ(text(page, IDC_MSG_F02), L"R $R TU");
        // Leaving the page with OK takes the edits of the bank on display.
        setText(page, IDC_MSG_F08, L"TU GL");
        expected.fnMessage[1][7] = L"TU GL";
        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.settings, expected);
}

TEST(OptionSheet, StoredMessagesSurviveUnchanged) {
    // Kana, full-width text and a message longer than an edit takes by default go through
    // page 1, both banks shown, and come back exactly.
    AppSettings original = defaults();
    original.fnMessage[0][0] = L"ｺﾝﾆﾁﾊ ＣＱ こんにちは $M [AR]";
    original.fnMessage[0][6] = L"  TU  ";
    std::wstring longMessage;
    while (longMessage.size() < 40000) {
        longMessage += L"CQ ﾃｽﾄ ＤＥ $M ";
    }
    original.fnMessage[1][3] = longMessage;
    original.myCallSign = L"ＪＡ１ＸＸＸ";
    const auto run = runSheet(original, 0, [&](HWND sheet, DWORD) {
        const HWND page = currentPage(sheet);
        EXPECT_EQ(text(page, IDC_MSG_F01), original.fnMessage[0][0]);
        click(page, IDC_BANK_B);
        EXPECT_EQ(text(page, IDC_MSG_F04).size(), longMessage.size());
        // The operator can still type into the long message.
        EXPECT_GE(static_cast<std::size_t>(
                      SendMessageW(GetDlgItem(page, IDC_MSG_F04), EM_GETLIMITTEXT, 0, 0)),
                  std::size_t{1} << 24);
        click(page, IDC_BANK_A);
        selectPage(sheet, kPage3);
        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.settings, original);
}

TEST(OptionSheet, OutOfRangeValuesKeepThePageOpenAndNameTheRange) {
    // Each refusal is one message box; under Wine without a window manager closing one costs
    // about two seconds, so every value is refused once, by OK or by leaving for the next tab.
    enum class Leave { byOk, byTab };
    struct Case {
        int page;
        int id;
        const wchar_t* bad;
        Leave leave;
        const wchar_t* message;
    };
    const Case cases[] = {
        {kPage1, IDC_CQ_INTERVAL, L"0.5", Leave::byOk, L"1 から 10 までの数値を入力してください。"},
        {kPage1, IDC_CQ_INTERVAL, L"11", Leave::byTab, L"1 から 10 までの数値を入力してください。"},
        {kPage1, IDC_CQ_INTERVAL, L"2,5", Leave::byOk, L"1 から 10 までの数値を入力してください。"},
        {kPage1, IDC_CQ_INTERVAL, L" ", Leave::byTab,
         L"値が入力されていません。1 から 10 までの数値を入力してください。"},
        {kPage2, IDC_WPM, L"51", Leave::byTab, L"5 から 50 までの整数を入力してください。"},
        {kPage2, IDC_WPM, L"20.5", Leave::byOk, L"5 から 50 までの整数を入力してください。"},
        {kPage2, IDC_WPM, L"", Leave::byOk,
         L"値が入力されていません。5 から 50 までの整数を入力してください。"},
        {kPage2, IDC_WEIGHT_DOT, L"-0.5", Leave::byTab, L"0 から 5 までの数値を入力してください。"},
        {kPage2, IDC_WEIGHT_DASH, L"5.1", Leave::byOk, L"0 から 5 までの数値を入力してください。"},
        {kPage2, IDC_PTT_DELAY_BEFORE, L"256", Leave::byTab,
         L"0 から 255 までの整数を入力してください。"},
        {kPage2, IDC_PTT_DELAY_AFTER, L"99999999999", Leave::byOk,
         L"0 から 255 までの整数を入力してください。"},
        {kPage3, IDC_END_GM, L"16", Leave::byOk, L"9 から 15 までの整数を入力してください。"},
        {kPage3, IDC_END_GA, L"14", Leave::byOk, L"15 から 21 までの整数を入力してください。"},
        {kPage3, IDC_END_GE, L"10", Leave::byOk, L"0 から 9 までの整数を入力してください。"},
    };
    const auto run = runSheet(defaults(), 0, [&](HWND sheet, DWORD gui) {
        bool photographed = false;
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(c.bad)) + " in " +
                         std::to_string(c.id));
            const HWND page = selectPage(sheet, c.page);
            ASSERT_NE(page, nullptr);
            const std::wstring good = text(page, c.id);
            setText(page, c.id, c.bad);
            if (c.leave == Leave::byTab) {
                requestPage(sheet, c.page + 1);
            } else {
                pressSheetButton(sheet, PSBTN_OK);
            }
            if (!photographed) {
                const HWND box = waitForDialog(gui, L"Vetrin");
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(GetWindow(box, GW_OWNER), sheet) << "the box is not modal to the sheet";
                EXPECT_TRUE(screenshot(box, L"options-range-message.png"));
                photographed = true;
            }
            EXPECT_EQ(takeMessageBox(gui), c.message);
            EXPECT_TRUE(IsWindow(sheet));
            EXPECT_EQ(currentPageIndex(sheet), c.page);
            EXPECT_TRUE(wait_for([&] { return focusOf(gui) == GetDlgItem(page, c.id); }))
                << "the refused field does not have the focus";
            setText(page, c.id, good);
        }
        // In range again, and the bounds themselves are accepted.
        HWND page = selectPage(sheet, kPage1);
        ASSERT_NE(page, nullptr);
        setText(page, IDC_CQ_INTERVAL, L"10");
        page = selectPage(sheet, kPage2);
        ASSERT_NE(page, nullptr);
        setText(page, IDC_WPM, L"５０");
        setText(page, IDC_PTT_DELAY_AFTER, L"0");
        page = selectPage(sheet, kPage3);
        ASSERT_NE(page, nullptr);
        setText(page, IDC_END_GM, L"15");
        setText(page, IDC_END_GA, L"15");
        setText(page, IDC_END_GE, L"9");
        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.settings.cqInt, 10000);
    EXPECT_EQ(run.settings.wpm, 50);
    EXPECT_EQ(run.settings.pttDelayA, 0);
    EXPECT_EQ(run.settings.endGM, 15);
    EXPECT_EQ(run.settings.endGA, 15);
    EXPECT_EQ(run.settings.endGE, 9);
}

TEST(OptionSheet, ReactingToHamlogKeysGovernsItsThreeDependentBoxes) {
    AppSettings original = defaults();
    original.spyHlKey = true;
    original.zLogKey = true;
    original.cwAlways = true;
    original.hookAnyway = true;
    const int dependents[] = {IDC_ZLOG_KEY, IDC_CW_ALWAYS, IDC_HOOK_ANYWAY};

    auto run = runSheet(original, 0, [&](HWND sheet, DWORD) {
        const HWND page = selectPage(sheet, kPage3);
        ASSERT_NE(page, nullptr);
        for (int id : dependents) {
            EXPECT_TRUE(enabled(page, id));
        }
        click(page, IDC_SPY_HL_KEY);
        for (int id : dependents) {
            EXPECT_FALSE(enabled(page, id));
            EXPECT_TRUE(checked(page, id));  // shown as they were, stored off
        }
        click(page, IDC_SPY_HL_KEY);
        for (int id : dependents) {
            EXPECT_TRUE(enabled(page, id));
        }
        click(page, IDC_SPY_HL_KEY);
        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_FALSE(run.settings.spyHlKey);
    EXPECT_FALSE(run.settings.zLogKey);
    EXPECT_FALSE(run.settings.cwAlways);
    EXPECT_FALSE(run.settings.hookAnyway);

    // Opened with it off: the three start disabled and are stored off even when checked.
    original.spyHlKey = false;
    run = runSheet(original, 0, [&](HWND sheet, DWORD) {
        const HWND page = selectPage(sheet, kPage3);
        ASSERT_NE(page, nullptr);
        for (int id : dependents) {
            EXPECT_FALSE(enabled(page, id));
        }
        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_FALSE(run.settings.zLogKey);
    EXPECT_FALSE(run.settings.cwAlways);
    EXPECT_FALSE(run.settings.hookAnyway);
}

TEST(OptionSheet, CancelReturnsTheSettingsUnchanged) {
    AppSettings original = defaults();
    original.weightDot = 1.26f;  // not a half: OK would round it, Cancel must not
    original.replace1 = L"";
    original.toneLevel = 20;  // outside the list
    const auto run = runSheet(original, 1, [&](HWND sheet, DWORD) {
        HWND page = currentPage(sheet);
        setText(page, IDC_MSG_F01, L"CHANGED");
        click(page, IDC_BANK_A);
        setText(page, IDC_MSG_F01, L"CHANGED TOO");
        page = selectPage(sheet, kPage2);
        ASSERT_NE(page, nullptr);
        setText(page, IDC_WPM, L"40");
        page = selectPage(sheet, kPage3);
        ASSERT_NE(page, nullptr);
        click(page, IDC_SPY_HL_KEY);
        pressSheetButton(sheet, PSBTN_CANCEL);
        EXPECT_TRUE(wait_for([&] { return !IsWindow(sheet); }));
    });
    EXPECT_EQ(run.result, IDCANCEL);
    EXPECT_EQ(run.settings, original);
}

// The side-tone list, reached with its label's Alt+Z, keeps a level outside it until one is chosen.
TEST(OptionSheet, ASideToneOutsideTheListIsKeptUntilOneIsChosen) {
    AppSettings original = defaults();
    original.toneLevel = 20;
    const auto run = runSheet(original, 0, [&](HWND sheet, DWORD gui) {
        const HWND page = selectPage(sheet, kPage2);
        ASSERT_NE(page, nullptr);
        const HWND list = GetDlgItem(page, IDC_TONE_LEVEL);
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_TRUE(wait_for([&] {
            SetForegroundWindow(sheet);
            return GetForegroundWindow() == sheet;
        }));
        testing_support::pressWith(VK_MENU, 'Z');
        EXPECT_TRUE(wait_for([&] { return focusOf(gui) == list; }));
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), CB_ERR);
        confirm(sheet);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.settings.toneLevel, 20);
}

}  // namespace
