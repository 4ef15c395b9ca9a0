// The framework's own pieces that the windows build on: the profile's binary values, prompts,
// the recent-file list, command routing and the data exchange of texts.
#include "Commands.h"
#include "DataExchange.h"
#include "Profile.h"
#include "ProfileFileStore.h"
#include "RecentFileList.h"
#include "StandardIds.h"
#include "Strings.h"

#include "DialogDriver.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace omvar::ui;

namespace {

std::wstring tempIni(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + name;
    DeleteFileW(path.c_str());
    return path;
}

TEST(Profile, BinaryValuesAreTwoLettersPerByteLowNibbleFirst) {
    const std::vector<std::uint8_t> bytes{0x00, 0x2C, 0xFF, 0x5A};
    EXPECT_EQ(Profile::encodeBinary(bytes), L"AAMCPPKF");
    EXPECT_EQ(Profile::decodeBinary(L"AAMCPPKF"), bytes);
    EXPECT_EQ(Profile::decodeBinary(L""), std::vector<std::uint8_t>{});
    EXPECT_FALSE(Profile::decodeBinary(L"AAM").has_value());  // odd length
    EXPECT_FALSE(Profile::decodeBinary(L"AQ").has_value());   // 'Q' is no nibble
    EXPECT_FALSE(Profile::decodeBinary(L"aa").has_value());

    Profile profile(
        std::make_unique<omvar::Vetrin::ProfileFileStore>(tempIni(L"vetrin-profile-test.ini")));
    EXPECT_FALSE(profile.getBinary(L"Window", L"pos").has_value());
    EXPECT_TRUE(profile.writeBinary(L"Window", L"pos", bytes));
    EXPECT_EQ(profile.getString(L"Window", L"pos"), L"AAMCPPKF");
    EXPECT_EQ(profile.getBinary(L"Window", L"pos"), bytes);
    EXPECT_TRUE(profile.writeInt(L"Window", L"n", -12));
    EXPECT_EQ(profile.getInt(L"Window", L"n", 5), -12);
    EXPECT_EQ(profile.getInt(L"Window", L"absent", 5), 5);
    EXPECT_TRUE(profile.writeString(L"Recent File List", L"File1", L"C:\\ログ\\送信.txt"));
    EXPECT_EQ(profile.getString(L"Recent File List", L"File1"), L"C:\\ログ\\送信.txt");
}

TEST(RecentFileList, NewestFirstAtMostItsSizeKeptInTheProfile) {
    Profile profile(
        std::make_unique<omvar::Vetrin::ProfileFileStore>(tempIni(L"vetrin-recent-test.ini")));
    RecentFileList list(profile, 4);
    for (const wchar_t* path :
         {L"C:\\a.txt", L"C:\\b.txt", L"C:\\c.txt", L"C:\\d.txt", L"C:\\e.txt", L"c:\\B.TXT"}) {
        list.add(path);
    }
    EXPECT_EQ(list.files(),
              (std::vector<std::wstring>{L"c:\\B.TXT", L"C:\\e.txt", L"C:\\d.txt", L"C:\\c.txt"}));
    list.save();
    RecentFileList again(profile, 4);
    again.load();
    EXPECT_EQ(again.files(), list.files());
    again.remove(1);
    again.save();
    RecentFileList third(profile, 4);
    third.load();
    EXPECT_EQ(third.files(), (std::vector<std::wstring>{L"c:\\B.TXT", L"C:\\d.txt", L"C:\\c.txt"}));
}

TEST(Strings, PromptsTakeTheirArguments) {
    EXPECT_EQ(formatPrompt(L"%1 から %2 までの整数", {L"5", L"50"}), L"5 から 50 までの整数");
    EXPECT_EQ(formatPrompt(L"%1 への変更%3", {L"無題"}), L"無題 への変更");
    EXPECT_EQ(stringField(L"Vetrin\n\nVetrin\n\n\nVetrin.Document\nVetrin Document", 5),
              L"Vetrin.Document");
    EXPECT_EQ(stringField(L"only", 1), L"");
}

TEST(Commands, RangesUpdatersAndMissingHandlers) {
    CommandMap map;
    std::vector<UINT> ran;
    map.onRange(1000, 1011, [&](UINT id) { ran.push_back(id); });
    map.on(2000, [&] { ran.push_back(2000); });
    map.onUpdate(2000, [](CommandUpdate& update) { update.check(true); });
    EXPECT_TRUE(map.execute(1000));
    EXPECT_TRUE(map.execute(1011));
    EXPECT_FALSE(map.execute(1012));
    EXPECT_FALSE(map.execute(999));
    EXPECT_TRUE(map.execute(2000));
    EXPECT_EQ(ran, (std::vector<UINT>{1000, 1011, 2000}));
    CommandUpdate update(2000);
    EXPECT_TRUE(map.update(update));
    EXPECT_EQ(update.checked(), true);
    EXPECT_FALSE(update.enabled().has_value());
    CommandUpdate none(1005);
    EXPECT_FALSE(map.update(none));
    EXPECT_TRUE(map.hasHandler(1005));
}

// A dialog-like window with one edit, to run the checks on.
class EditHost {
public:
    EditHost() {
        host_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 80, 20, host_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(100)),
                        GetModuleHandleW(nullptr), nullptr);
    }
    ~EditHost() { DestroyWindow(host_); }
    HWND get() const { return host_; }
    void set(const wchar_t* text) { SetDlgItemTextW(host_, 100, text); }

private:
    HWND host_ = nullptr;
};

TEST(DataExchange, TextMovesBothWaysAndARefusalFocusesTheField) {
    EditHost host;
    std::wstring text = L"CQ";
    DataExchange load(host.get(), false);
    load.text(100, text);
    wchar_t shown[32] = {};
    GetDlgItemTextW(host.get(), 100, shown, 32);
    EXPECT_STREQ(shown, L"CQ");

    host.set(L" 7 ");
    DataExchange save(host.get(), true);
    save.text(100, text);
    EXPECT_EQ(text, L" 7 ");  // as typed: the checks are the caller's

    // A refusal tells the user, keeps the dialog open (throws) and selects the field's text.
    {
        dialog_test::DialogAnswerer answer(IDOK);
        EXPECT_THROW(save.fail(L"5 から 50 までの整数を入力してください。"), DataExchangeFailure);
        EXPECT_NE(answer.text().find(L"5 から 50 までの整数"), std::wstring::npos);
    }
    DWORD start = 1;
    DWORD end = 0;
    SendDlgItemMessageW(host.get(), 100, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                        reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
}

}  // namespace
