// The program's resources: every dialog template loads with the controls and texts the windows
// and dialogs rely on, and the menu and the strings are there. The about box is opened and
// photographed here so its Japanese texts can be checked by eye; the other dialogs are
// photographed by their own tests.
#include "resource.h"

#include "CAboutDlg.h"
#include "DialogDriver.h"
#include "PropertySheet.h"
#include "Strings.h"
#include "UiTestSupport.h"
#include "Window.h"

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using omvar::ui::loadString;
using omvar::ui::windowText;
using testing_support::screenshot;

namespace {

// A dialog template as a top-level window (child templates inside a plain frame).
class DialogUnderTest {
public:
    explicit DialogUnderTest(UINT id, HWND parent = nullptr) {
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent,
                                     &omvar::ui::plainDialogProc, 0);
    }
    ~DialogUnderTest() {
        if (dialog_ != nullptr)
            DestroyWindow(dialog_);
    }
    HWND get() const { return dialog_; }
    std::wstring text(int id) const { return windowText(GetDlgItem(dialog_, id)); }

private:
    HWND dialog_ = nullptr;
};

class Host {
public:
    Host() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"ResourceTestHost";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, L"ResourceTestHost", L"バー", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 760, 110, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~Host() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// The about box as the program opens it: its own text, first the name and the version with the
// build date.
TEST(Resources, AboutBoxShowsTheProgramAndItsVersion) {
    omvar::Vetrin::CAboutDlg about;
    std::wstring shown;
    const INT_PTR result = dialog_test::drive(
        [&] { return about.DoModal(nullptr); },
        [&](DWORD gui) {
            const HWND box = dialog_test::waitForDialog(gui, L"「Vetrin」のバージョン情報");
            ASSERT_NE(box, nullptr);
            shown = windowText(GetDlgItem(box, IDC_ABOUT_TEXT));
            EXPECT_EQ(windowText(GetDlgItem(box, IDOK)), L"OK");
            EXPECT_TRUE(screenshot(box, L"dialog-100-about.png"));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
    EXPECT_EQ(result, IDOK);
    // The name, the version with the build date as the compiler writes it ("Jun  5 2022"), an
    // empty line, then the lines about the program.
    EXPECT_TRUE(std::regex_match(
        shown, std::wregex(L"Vetrin\r\n    Ver 2\\.0\\.1 \\([A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}\\)"
                           L"\r\n\r\n[^\r\n][\\s\\S]*")))
        << testing::PrintToString(shown);
}

TEST(Resources, MessageBarHasTwelveButtons) {
    Host host;
    DialogUnderTest bar(IDD_MESSAGE_BAR, host.get());
    ASSERT_NE(bar.get(), nullptr);
    EXPECT_NE(GetWindowLongPtrW(bar.get(), GWL_STYLE) & WS_CHILD, 0);
    for (int i = 0; i < 12; ++i) {
        wchar_t expected[8];
        swprintf(expected, 8, L"Fn%02d", i + 1);
        EXPECT_EQ(bar.text(IDC_FN_KEY01 + i), expected);
    }
}

TEST(Resources, CwBarHasItsControls) {
    Host host;
    DialogUnderTest bar(IDD_CW_BAR, host.get());
    ASSERT_NE(bar.get(), nullptr);
    EXPECT_EQ(bar.text(IDC_BANK), L"Bank: 呼出");
    EXPECT_EQ(bar.text(IDC_SEND), L"送信");
    EXPECT_EQ(bar.text(IDC_CLEAR), L"クリア");
    EXPECT_EQ(bar.text(IDC_OPTION_BUTTON), L"オプション");
    const LONG_PTR speedStyle = GetWindowLongPtrW(GetDlgItem(bar.get(), IDC_CW_WPM), GWL_STYLE);
    EXPECT_NE(speedStyle & ES_READONLY, 0);
    EXPECT_NE(speedStyle & ES_CENTER, 0);
    EXPECT_NE(GetWindowLongPtrW(GetDlgItem(bar.get(), IDC_CW_TEXT), GWL_STYLE) & ES_UPPERCASE, 0);
    wchar_t spinClass[64] = {};
    GetClassNameW(GetDlgItem(bar.get(), IDC_WPM_SPIN), spinClass, 64);
    EXPECT_STREQ(spinClass, UPDOWN_CLASSW);
}

TEST(Resources, SpeedSliderAndMessageEditor) {
    DialogUnderTest slider(IDD_SET_WPM);
    ASSERT_NE(slider.get(), nullptr);
    EXPECT_EQ(windowText(slider.get()), L"WPM速度");
    EXPECT_EQ(slider.text(IDC_WPM_TEXT), L"WPM");
    EXPECT_NE(GetWindowLongPtrW(GetDlgItem(slider.get(), IDC_WPM_SLIDER), GWL_STYLE) & TBS_VERT, 0);

    DialogUnderTest editor(IDD_EDIT_FN_MESSAGE);
    ASSERT_NE(editor.get(), nullptr);
    EXPECT_NE(GetDlgItem(editor.get(), IDC_FN_MESSAGE), nullptr);
}

TEST(Resources, OptionPagesInASheet) {
    // The three pages, showing only their templates, in the framework's sheet; another thread
    // looks at each page and cancels the sheet.
    const std::wstring caption = loadString(IDS_OPTION_SHEET_CAPTION);
    EXPECT_EQ(caption, L"Vetrinのオプション");
    omvar::ui::PropertyPage page1(IDD_OPTION_PAGE1), page2(IDD_OPTION_PAGE2),
        page3(IDD_OPTION_PAGE3);
    omvar::ui::PropertySheetDialog sheet(caption, nullptr);
    sheet.addPage(page1);
    sheet.addPage(page2);
    sheet.addPage(page3);

    const std::map<int, std::wstring> expected[] = {
        {{IDC_BANK_A, L"応答(&Q)"}, {IDC_BANK_B, L"呼出(&S)"}},
        {{IDC_PADDLE_REVERSE, L"パドルリバース(&R)"},
         {IDC_PTT, L"&PTT制御する"},
         {IDC_SIDE_TONE, L"サイドトーンを発生する(&S)"},
         {IDC_PADDLE_KEYBOARD, L"パドル操作を復号する(&K)"}},
        {{IDC_LOG_TIME, L"交信時間を記録する(&L)"},
         {IDC_SHOW_FN8, L"F1～F&8"},
         {IDC_SHOW_FN12, L"F1～F1&2"},
         {IDC_SPY_HL_KEY, L"HAMLOG側でのキー操作時にCW連携動作をする(&S)"},
         {IDC_CLOSE_ANYWAY, L"終了時に保存を問い合わせしない(&X)"}},
    };
    const wchar_t* captions[] = {L"CWメッセージメモリ", L"キーヤ設定", L"その他"};
    std::vector<std::wstring> problems;
    std::thread watcher([&] {
        HWND window = nullptr;
        testing_support::wait_for(
            [&] { return (window = FindWindowW(nullptr, caption.c_str())) != nullptr; });
        if (window == nullptr) {
            problems.push_back(L"no sheet");
            return;
        }
        for (int i = 0; i < 3; ++i) {
            SendMessageW(window, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
            HWND current =
                reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
            for (const auto& [id, text] : expected[i]) {
                if (windowText(GetDlgItem(current, id)) != text) {
                    problems.push_back(L"page " + std::to_wstring(i + 1) + L": " + text);
                }
            }
            TCITEMW tab{};
            wchar_t tabText[64] = {};
            tab.mask = TCIF_TEXT;
            tab.pszText = tabText;
            tab.cchTextMax = 64;
            SendMessageW(reinterpret_cast<HWND>(SendMessageW(window, PSM_GETTABCONTROL, 0, 0)),
                         TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tab));
            if (std::wstring(tabText) != captions[i]) {
                problems.push_back(L"tab " + std::wstring(tabText));
            }
            // Every control of the page lies inside the page, and the page inside the sheet's
            // tab area.
            RECT page{};
            GetWindowRect(current, &page);
            for (HWND c = GetWindow(current, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                RECT r{};
                GetWindowRect(c, &r);
                if (r.right > page.right || r.bottom > page.bottom) {
                    problems.push_back(L"page " + std::to_wstring(i + 1) + L" cuts off " +
                                       windowText(c));
                }
            }
        }
        PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    watcher.join();
    for (const auto& problem : problems) {
        ADD_FAILURE() << testing::PrintToString(problem);
    }
}

TEST(Resources, MenuStringsAndVersion) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(menu, nullptr);
    wchar_t text[128] = {};
    for (const auto& [id, label] :
         std::map<UINT, std::wstring>{{ID_TOGGLE_BANK, L"Fnバンク切替(&B)"},
                                      {ID_OPTIONS, L"オプション(&O)..."},
                                      {ID_VIEW_MESSAGE_BAR, L"Fnメッセージ バー(&M)"},
                                      {ID_VIEW_CW_BAR, L"CWメニュー バー(&C)"},
                                      {ID_HALF_WIDTH_KANA, L"半角カナ(&K)"},
                                      {ID_VIEW_FN8, L"Fnメッセージx&8"},
                                      {ID_VIEW_FN12, L"Fnメッセージx1&2"},
                                      {ID_VIEW_TOP_MOST, L"常に最前面に表示(&M)"},
                                      {ID_HELP_MANUAL, L"説明書を表示(&D)"},
                                      {ID_APP_ABOUT, L"バージョン情報(&A)..."}}) {
        ASSERT_GT(GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND), 0) << id;
        EXPECT_EQ(std::wstring(text), label);
    }
    DestroyMenu(menu);
    EXPECT_EQ(loadString(IDR_MAINFRAME), L"Vetrin\n\nVetrin\n\n\nVetrin.Document\nVetrin Document");
    EXPECT_EQ(loadString(IDS_APP_TITLE), L"Vetrin");
    EXPECT_EQ(loadString(ID_INDICATOR_KANA), L"ｶﾅ");
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)), nullptr);
    EXPECT_NE(LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)), nullptr);

    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(path, &handle));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 1));
}

}  // namespace
