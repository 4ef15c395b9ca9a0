#include "AppSettings.h"
#include "LiveSettings.h"
#include "ProfileFile.h"
#include "SettingsFilePath.h"

#include "AppSettingsPrinter.h"
#include "DeepFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using omvar::Vetrin::AppSettings;
using omvar::Vetrin::LiveSettings;
using omvar::Vetrin::ProfileFile;

namespace {

AppSettings defaults() {
    AppSettings s;
    s.fnMessage[0] = {L"CQ DE $M $M $M PSE K",
                      L"$C UR $R [KN]",
                      L"TNX FB QSO 73 [VA]",
                      L"Fn04",
                      L"QRZ?",
                      L"Fn06",
                      L"Fn07",
                      L"TU E E",
                      L"Fn09",
                      L"Fn10",
                      L"Fn11",
                      L"Fn12"};
    s.fnMessage[1] = {L"DE $M $M [AR]", L"UR $R [KN]", L"73 TU E E", L"Fn04", L"Fn05", L"Fn06",
                      L"Fn07",          L"TU E E",     L"Fn09",      L"Fn10", L"Fn11", L"Fn12"};
    s.myCallSign = L"XX9XXX/1";
    s.replace0 = L"0";
    s.replace1 = L"1";
    s.replace9 = L"9";
    s.cqInt = 2500;
    s.wpm = 20;
    s.ptt = true;
    s.pttDelayP = 25;
    s.pttDelayA = 200;
    s.sideTone = true;
    s.toneLevel = 7;
    s.paddleKbd = true;
    s.weightDot = 1.0f;
    s.weightDash = 3.0f;
    s.spyHlKey = true;
    s.closeAnyway = true;
    s.endGM = 12;
    s.endGA = 18;
    s.sendBufferMaxCount = 3;
    s.sendBufferThreshold = 1;
    return s;
}

AppSettings load() {
    AppSettings s;
    omvar::Vetrin::loadSettings(s);
    return s;
}

std::wstring utf8ToWide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), length);
    return wide;
}

std::string readBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each test works on a file of its own in the temporary directory, absent at the start.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        wchar_t directory[MAX_PATH + 1];
        ASSERT_NE(GetTempPathW(MAX_PATH + 1, directory), 0u);
        path_ = std::wstring(directory) + L"vetrin-settings-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
                L".ini";
        DeleteFileW(path_.c_str());
        omvar::Vetrin::setSettingsFilePath(path_);
    }
    void TearDown() override {
        DeleteFileW(path_.c_str());
        omvar::Vetrin::setSettingsFilePath({});
    }

    bool fileExists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::string bytes() const { return readBytes(path_); }
    void writeBytes(const std::string& content) const {
        std::ofstream(std::filesystem::path(path_), std::ios::binary) << content;
    }
    // The file's text after its UTF-16LE byte-order mark, which it must have.
    std::wstring unicodeText() const {
        const std::string raw = bytes();
        if (raw.size() < 2 || raw.compare(0, 2, "\xFF\xFE") != 0) {
            ADD_FAILURE() << "no UTF-16LE byte-order mark";
            return {};
        }
        std::wstring text((raw.size() - 2) / 2, L'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(raw[2 + 2 * i]) |
                                           static_cast<unsigned char>(raw[3 + 2 * i]) << 8);
        }
        return text;
    }
    std::wstring stored(const wchar_t* section, const wchar_t* key) const {
        return ProfileFile(path_).readString(section, key, L"<absent>");
    }
    void store(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
        ASSERT_TRUE(ProfileFile(path_).writeString(section, key, value));
    }

    std::wstring path_;
};

TEST_F(SettingsFileTest, NoFileGivesExactlyTheDefaultsAndIsNotCreatedByLoading) {
    EXPECT_EQ(load(), defaults());
    EXPECT_FALSE(fileExists());
}

TEST_F(SettingsFileTest, FirstSaveOfAFreshFileWritesEveryKeyInOrder) {
    ASSERT_TRUE(omvar::Vetrin::saveSettings(load()));
    const std::string golden = readBytes(utf8ToWide(VETRIN_SETTINGS_TEST_DATA "/fresh-save.ini"));
    ASSERT_FALSE(golden.empty()) << "golden file not found";
    EXPECT_EQ(unicodeText(), utf8ToWide(golden));
    EXPECT_EQ(load(), defaults());
}

TEST_F(SettingsFileTest, OneTrailingHashIsTheMessageEnd) {
    store(L"Bank-A", L"Fn01", L"CQ TEST#");
    store(L"Bank-A", L"Fn02", L"UR 5NN##");
    store(L"Bank-A", L"Fn03", L"#");
    store(L"Bank-A", L"Fn04", L"NO MARK");
    store(L"Bank-A", L"Fn06", L"#MID#DLE");
    auto s = load();
    EXPECT_EQ(s.fnMessage[0][0], L"CQ TEST");
    EXPECT_EQ(s.fnMessage[0][1], L"UR 5NN#");
    EXPECT_EQ(s.fnMessage[0][2], L"");
    EXPECT_EQ(s.fnMessage[0][3], L"NO MARK");
    EXPECT_EQ(s.fnMessage[0][5], L"#MID#DLE");

    s.fnMessage[1][0] = L"TU ";
    s.fnMessage[1][1] = L"";
    s.fnMessage[1][2] = L"ENDS WITH #";
    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    EXPECT_EQ(stored(L"Bank-B", L"Fn01"), L"TU #");
    EXPECT_EQ(stored(L"Bank-B", L"Fn02"), L"#");
    EXPECT_EQ(load(), s);
}

TEST_F(SettingsFileTest, AbsentKeysTakeTheDefaultOfTheirBank) {
    store(L"Bank-A", L"Fn01", L"A#");
    store(L"Bank-B", L"Fn01", L"B#");
    const auto s = load();
    EXPECT_EQ(s.fnMessage[0][4], L"QRZ?");
    EXPECT_EQ(s.fnMessage[1][4], L"Fn05");
    EXPECT_EQ(s.fnMessage[0][0], L"A");
    EXPECT_EQ(s.fnMessage[1][0], L"B");
    EXPECT_EQ(s.fnMessage[1][7], L"TU E E");
}

TEST_F(SettingsFileTest, WeightsHaveOneDecimalAndReadTheLongestDecimalPrefix) {
    auto s = defaults();
    s.weightDot = 1.26f;
    s.weightDash = 4.5f;
    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    EXPECT_EQ(stored(L"Keyer", L"WeightDot"), L"1.3");
    EXPECT_EQ(stored(L"Keyer", L"WeightDash"), L"4.5");
    EXPECT_FLOAT_EQ(load().weightDot, 1.3f);

    const std::pair<const wchar_t*, float> cases[] = {
        {L"2.5kg", 2.5f}, {L"x1", 0.0f},  {L".5", 0.5f},   {L"3.", 3.0f},  {L"-1.5", -1.5f},
        {L"1e1", 10.0f},  {L"2e", 2.0f},  {L"0x10", 0.0f}, {L"inf", 0.0f}, {L"", 0.0f},
        {L".", 0.0f},     {L"1,5", 1.0f}, {L"+2.0", 2.0f},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        store(L"Keyer", L"WeightDot", cases[i].first);
        EXPECT_FLOAT_EQ(load().weightDot, cases[i].second) << "case " << i;
    }
}

TEST_F(SettingsFileTest, WeightsKeepTheirDecimalPointUnderAnyLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);
    auto s = defaults();
    s.weightDot = 1.5f;
    const bool saved = omvar::Vetrin::saveSettings(s);
    const auto loaded = load();
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_TRUE(saved);
    EXPECT_EQ(stored(L"Keyer", L"WeightDot"), L"1.5");
    EXPECT_EQ(loaded, s);
}

TEST_F(SettingsFileTest, IntegersAndFlagsAreReadAsIntegers) {
    store(L"Keyer", L"PaddleRvs", L"2");
    store(L"Keyer", L"PTT", L"yes");
    store(L"Keyer", L"SideTone", L"-1");
    store(L"Keyer", L"WPM", L"abc");
    store(L"Keyer", L"CQ_INT", L"3000ms");
    store(L"Experiment", L"SendBufferMaxCount", L"-4");
    auto s = load();
    EXPECT_TRUE(s.paddleRvs);
    EXPECT_FALSE(s.ptt);
    EXPECT_TRUE(s.sideTone);
    EXPECT_EQ(s.wpm, 0);
    EXPECT_EQ(s.cqInt, 3000);
    EXPECT_EQ(s.sendBufferMaxCount, -4);

    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    EXPECT_EQ(stored(L"Keyer", L"PaddleRvs"), L"1");
    EXPECT_EQ(stored(L"Keyer", L"PTT"), L"0");
    EXPECT_EQ(stored(L"Keyer", L"SideTone"), L"1");
    EXPECT_EQ(stored(L"Experiment", L"SendBufferMaxCount"), L"-4");
}

TEST_F(SettingsFileTest, Fn12IsAMessageInTheBanksAndAFlagInWindow) {
    store(L"Bank-A", L"Fn12", L"1#");
    store(L"Bank-B", L"Fn12", L"LAST#");
    store(L"Window", L"Fn12", L"1");
    auto s = load();
    EXPECT_EQ(s.fnMessage[0][11], L"1");
    EXPECT_EQ(s.fnMessage[1][11], L"LAST");
    EXPECT_TRUE(s.fn12);

    s.fn12 = false;
    s.fnMessage[0][11] = L"0";
    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    EXPECT_EQ(stored(L"Window", L"Fn12"), L"0");
    EXPECT_EQ(stored(L"Bank-A", L"Fn12"), L"0#");
    EXPECT_EQ(stored(L"Bank-B", L"Fn12"), L"LAST#");
}

TEST_F(SettingsFileTest, KanaAndFullWidthMessagesSurviveSaveAndLoad) {
    auto s = defaults();
    s.fnMessage[1] = {
        L"こんにちは　ありがとう",         // hiragana, ideographic space
        L"ｶﾞｷﾞﾊﾟﾋﾟﾌﾟ ｱﾘｶﾞﾄｳ",              // half-width kana with voiced marks
        L"ＣＱ　ＤＥ　ＪＡ１ＡＢＣ",       // full-width letters and digits
        L"カタカナ・ヴ",                   // katakana
        L"\u00e9\u00df\uD55C\U00020BB7 ",  // outside code page 932, a surrogate pair
        L"漢字［ＡＲ］",
        L"",
        L"ﾃｽﾄ#",
        L"#ｱ",
        L"ﾃｽﾄ ",
        L"Ｆｎ１１",
        std::wstring(5000, L'ア') + L"END",  // longer than any first buffer
    };
    s.myCallSign = L"ＪＡ１ＸＹＺ";
    s.number = L"５９９";
    s.replace0 = L"Ｔ";
    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    EXPECT_EQ(bytes().substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(load(), s);
}

TEST_F(SettingsFileTest, AnExistingAnsiFileIsUsedAsItIs) {
    writeBytes(
        "[Window]\r\npos=2C00000000000000\r\n[Keyer]\r\nWPM=30\r\n[Bank-A]\r\nFn05=QRL?#\r\n");
    auto s = load();
    EXPECT_EQ(s.wpm, 30);
    EXPECT_EQ(s.fnMessage[0][4], L"QRL?");
    EXPECT_EQ(s.fnMessage[0][0], L"CQ DE $M $M $M PSE K");

    s.wpm = 35;
    s.fnMessage[0][2] = L"TNX 73 ";
    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    const std::string raw = bytes();
    EXPECT_NE(raw.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(raw.find("pos=2C00000000000000"), std::string::npos);
    EXPECT_NE(raw.find("WPM=35"), std::string::npos);
    EXPECT_EQ(load(), s);
}

TEST_F(SettingsFileTest, AnEmptyExistingFileIsWrittenAsUnicode) {
    writeBytes("");
    auto s = defaults();
    s.fnMessage[0][0] = L"ｺﾝﾆﾁﾜ";
    ASSERT_TRUE(omvar::Vetrin::saveSettings(s));
    EXPECT_EQ(bytes().substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(load(), s);
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsReportedAndReadsAsDefaults) {
    omvar::Vetrin::setSettingsFilePath(path_ + L".missing-directory\\Vetrin.ini");
    EXPECT_FALSE(omvar::Vetrin::saveSettings(defaults()));
    EXPECT_EQ(load(), defaults());
}

TEST(SettingsFilePath, DefaultsToVetrinIniBesideTheExecutable) {
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::wstring expected(module, length);
    expected.erase(expected.find_last_of(L'\\') + 1);
    expected += L"Vetrin.ini";
    EXPECT_EQ(omvar::Vetrin::defaultSettingsFilePath(), expected);

    omvar::Vetrin::setSettingsFilePath({});
    EXPECT_EQ(omvar::Vetrin::settingsFilePath(), expected);
    omvar::Vetrin::setSettingsFilePath(L"C:\\somewhere\\x.ini");
    EXPECT_EQ(omvar::Vetrin::settingsFilePath(), L"C:\\somewhere\\x.ini");
    omvar::Vetrin::setSettingsFilePath({});
}

TEST(ProfileFile, ANameWithoutADirectoryIsInTheWorkingDirectory) {
    wchar_t previous[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(temp));
    const std::wstring name =
        L"vetrin-relative-" + std::to_wstring(GetCurrentProcessId()) + L".ini";

    const ProfileFile file(name);
    EXPECT_TRUE(file.writeString(L"S", L"K", L"V"));
    const std::wstring expected = std::wstring(temp) + name;
    EXPECT_EQ(file.path(), expected);
    EXPECT_NE(GetFileAttributesW(expected.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(expected.c_str());
    SetCurrentDirectoryW(previous);
}

TEST(ProfileFile, InAFolderDeeperThanMaxPathTheValuesGoToTheFileItself) {
    const testing_support::DeepFolder folder(L"vetrin-deep-profile");
    const ProfileFile file(folder.path() + L"\\Vetrin.ini");
    ASSERT_GT(file.path().size(), static_cast<std::size_t>(MAX_PATH));
    EXPECT_TRUE(file.prepareForUnicode());
    EXPECT_TRUE(file.writeString(L"Keyer", L"WPM", L"ｺﾝﾆﾁﾜ 20"));
    EXPECT_EQ(file.readString(L"Keyer", L"WPM", L""), L"ｺﾝﾆﾁﾜ 20");
    EXPECT_EQ(file.readInt(L"Keyer", L"Absent", 7), 7);
    EXPECT_EQ(folder.files(), std::vector<std::wstring>{L"Vetrin.ini"});
}

AppSettings withExperiment(AppSettings s, bool noReduce, int maxCount, int threshold) {
    s.noReduceDeviceFreezes = noReduce;
    s.sendBufferMaxCount = maxCount;
    s.sendBufferThreshold = threshold;
    return s;
}

TEST_F(SettingsFileTest, ApplyKeepsTheExperimentValuesAsLoadedAndSaves) {
    store(L"Experiment", L"NoReduceDeviceFreezes", L"1");
    store(L"Experiment", L"SendBufferMaxCount", L"5");
    store(L"Experiment", L"SendBufferThreshold", L"2");
    LiveSettings live;
    live.load();
    EXPECT_EQ(live.snapshot(), withExperiment(defaults(), true, 5, 2));

    auto edited = withExperiment(defaults(), false, 9, 9);
    edited.wpm = 33;
    edited.fnMessage[0][0] = L"CQ CQ";
    ASSERT_TRUE(live.apply(edited));
    const auto expected = withExperiment(edited, true, 5, 2);
    EXPECT_EQ(live.snapshot(), expected);
    EXPECT_EQ(load(), expected);

    EXPECT_EQ(live.update([](AppSettings& s) { return ++s.wpm; }), 34);
    EXPECT_EQ(load().wpm, 33);
    ASSERT_TRUE(live.save());
    EXPECT_EQ(load().wpm, 34);
}

TEST_F(SettingsFileTest, ConcurrentAppliesLeaveOneWholeRecord) {
    LiveSettings live;
    live.load();
    AppSettings first = defaults();
    AppSettings second = defaults();
    for (int bank = 0; bank < 2; ++bank) {
        for (int key = 0; key < 12; ++key) {
            first.fnMessage[bank][key] = L"FIRST " + std::to_wstring(key);
            second.fnMessage[bank][key] = L"ｾｶﾝﾄﾞ " + std::to_wstring(key);
        }
    }
    first.wpm = 11;
    second.wpm = 44;
    second.weightDot = 2.5f;
    second.endGE = 5;

    for (int round = 0; round < 10; ++round) {
        // Both threads start their apply together, so that unserialised writes would interleave.
        std::atomic<int> arrived{0};
        auto applyOnGo = [&](const AppSettings& s) {
            ++arrived;
            while (arrived.load() < 2) {
                std::this_thread::yield();
            }
            live.apply(s);
        };
        std::thread a(applyOnGo, std::cref(first));
        std::thread b(applyOnGo, std::cref(second));
        a.join();
        b.join();
        const auto onFile = load();
        ASSERT_TRUE(onFile == first || onFile == second) << "a mix after round " << round;
        ASSERT_EQ(onFile, live.snapshot()) << "file and live record differ after round " << round;
    }
}

}  // namespace
