// The message editor: one stored message of the model's live settings, its caption, OK and
// Cancel, and the refusal of a key number that does not exist.
#include "AppModel.h"
#include "CDlgEditFnMsg.h"
#include "resource.h"

#include "DialogDriver.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace dialog_test;
using omvar::Vetrin::AppModel;
using omvar::Vetrin::AppSettings;
using omvar::Vetrin::CDlgEditFnMsg;

namespace {

class MessageEditor : public ::testing::Test {
protected:
    void SetUp() override {
        model.liveSettings().update([](AppSettings& s) {
            s.fnMessage[0][4] = L"QRZ?";
            s.fnMessage[1][4] = L"Fn05";
            s.fnMessage[1][11] = L"ﾃｽﾄ テスト ＴＥＳＴ";
        });
    }

    // Opens the editor; `script` gets its window. Counts the main window's refreshes.
    INT_PTR edit(int bank, int index, const std::function<void(HWND editor)>& script) {
        CDlgEditFnMsg editor(model, bank, index, [this] { ++refreshes; });
        return drive([&] { return editor.DoModal(nullptr); },
                     [&](DWORD gui) {
                         wchar_t caption[32];
                         swprintf(caption, 32, L"Fn%02d メッセージ編集", index + 1);
                         const HWND window = waitForDialog(gui, caption);
                         ASSERT_NE(window, nullptr) << "no editor captioned " << caption;
                         script(window);
                     });
    }

    std::wstring stored(int bank, int index) { return model.settings().fnMessage[bank][index]; }

    AppModel model;
    int refreshes = 0;
};

TEST_F(MessageEditor, OkStoresTheTextAndRefreshesTheMainWindow) {
    const INT_PTR result = edit(1, 4, [](HWND editor) {
        EXPECT_EQ(text(editor, IDC_FN_MESSAGE), L"Fn05");
        setText(editor, IDC_FN_MESSAGE, L"QRZ? DE $M");
        EXPECT_TRUE(screenshot(editor, L"edit-message.png"));
        click(editor, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(stored(1, 4), L"QRZ? DE $M");
    EXPECT_EQ(stored(0, 4), L"QRZ?");
    EXPECT_EQ(refreshes, 1);
}

TEST_F(MessageEditor, CancelChangesNothing) {
    const INT_PTR result = edit(0, 4, [](HWND editor) {
        setText(editor, IDC_FN_MESSAGE, L"SOMETHING ELSE");
        click(editor, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(stored(0, 4), L"QRZ?");
    EXPECT_EQ(refreshes, 0);
}

TEST_F(MessageEditor, KanaAndLongMessagesComeBackWhole) {
    std::wstring longMessage;
    while (longMessage.size() < 40000) {
        longMessage += L"ﾃｽﾄ $M ";
    }
    model.liveSettings().update([&](AppSettings& s) { s.fnMessage[0][0] = longMessage; });
    EXPECT_EQ(edit(1, 11,
                   [](HWND editor) {
                       EXPECT_EQ(text(editor, IDC_FN_MESSAGE), L"ﾃｽﾄ テスト ＴＥＳＴ");
                       click(editor, IDOK);
                   }),
              IDOK);
    EXPECT_EQ(stored(1, 11), L"ﾃｽﾄ テスト ＴＥＳＴ");
    EXPECT_EQ(edit(0, 0, [](HWND editor) { click(editor, IDOK); }), IDOK);
    EXPECT_EQ(stored(0, 0), longMessage);
}

TEST_F(MessageEditor, AKeyNumberThatDoesNotExistIsRefused) {
    // "不正なFnメッセージ番号" in Shift_JIS.
    const std::string expected =
        "\x95s\x90\xb3\x82\xc8"
        "Fn\x83\x81\x83"
        "b\x83Z\x81[\x83W\x94\xd4\x8d\x86";
    for (const auto& [bank, index] : {std::pair{0, 12}, std::pair{1, -1}, std::pair{2, 0}}) {
        try {
            CDlgEditFnMsg editor(model, bank, index);
            ADD_FAILURE() << "bank " << bank << " index " << index << " accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), expected);
        }
    }
    CDlgEditFnMsg last(model, 1, 11);  // F12 exists
}

}  // namespace
