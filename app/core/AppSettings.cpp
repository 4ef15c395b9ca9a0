#include "AppSettings.h"

#include "ProfileFile.h"
#include "SettingsFilePath.h"

#include <charconv>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>

namespace omvar::Vetrin {

namespace {

const wchar_t* const kBankSection[kBankCount] = {L"Bank-A", L"Bank-B"};

// nullptr: the key has no stored message of its own and defaults to its key name.
const wchar_t* const kDefaultMessage[kBankCount][kFnKeyCount] = {
    {L"CQ DE $M $M $M PSE K", L"$C UR $R [KN]", L"TNX FB QSO 73 [VA]", nullptr, L"QRZ?", nullptr,
     nullptr, L"TU E E", nullptr, nullptr, nullptr, nullptr},
    {L"DE $M $M [AR]", L"UR $R [KN]", L"73 TU E E", nullptr, nullptr, nullptr, nullptr, L"TU E E",
     nullptr, nullptr, nullptr, nullptr},
};

std::wstring fnKeyName(int key) {
    wchar_t name[16];
    std::swprintf(name, std::size(name), L"Fn%02d", key + 1);
    return name;
}

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The longest prefix of the text that is a decimal number ("2.5kg" gives 2.5); 0.0 when there is
// none. Decimal only and independent of the process locale, so a file reads the same everywhere.
float parseWeight(const std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) {
        ++i;
    }
    std::string number;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        if (text[i] == L'-') {
            number += '-';
        }
        ++i;
    }
    std::size_t digits = 0;
    auto takeDigits = [&] {
        while (i < text.size() && isDigit(text[i])) {
            number += static_cast<char>(text[i++]);
            ++digits;
        }
    };
    takeDigits();
    if (i < text.size() && text[i] == L'.') {
        number += '.';
        ++i;
        takeDigits();
    }
    if (digits == 0) {
        return 0.0f;
    }
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) {
            exponent += static_cast<char>(text[j++]);
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                exponent += static_cast<char>(text[j++]);
            }
            number += exponent;
        }
    }
    float value = 0.0f;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() ? value : 0.0f;
}

// "%2.1lf" in the C locale: one decimal, a decimal point whatever the process locale says.
std::wstring formatWeight(float weight) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(weight),
                                      std::chars_format::fixed, 1);
    return std::wstring(text, result.ptr);
}

class FieldReader {
public:
    explicit FieldReader(const ProfileFile& file) : file_(file) {}

    // The stored form carries one "#" so that the profile functions keep trailing blanks.
    void message(const wchar_t* section, const std::wstring& key, std::wstring& field,
                 const std::wstring& fallback) {
        field = file_.readString(section, key, fallback);
        if (!field.empty() && field.back() == L'#') {
            field.pop_back();
        }
    }
    void text(const wchar_t* section, const wchar_t* key, std::wstring& field,
              const wchar_t* fallback) {
        field = file_.readString(section, key, fallback);
    }
    void integer(const wchar_t* section, const wchar_t* key, std::int32_t& field, int fallback) {
        field = file_.readInt(section, key, fallback);
    }
    void flag(const wchar_t* section, const wchar_t* key, bool& field, bool fallback) {
        field = file_.readInt(section, key, fallback ? 1 : 0) != 0;
    }
    void weight(const wchar_t* section, const wchar_t* key, float& field, const wchar_t* fallback) {
        field = parseWeight(file_.readString(section, key, fallback));
    }

private:
    const ProfileFile& file_;
};

class FieldWriter {
public:
    explicit FieldWriter(const ProfileFile& file) : file_(file) {}

    bool allWritten() const { return allWritten_; }

    void message(const wchar_t* section, const std::wstring& key, const std::wstring& field,
                 const std::wstring&) {
        write(section, key, field + L"#");
    }
    void text(const wchar_t* section, const wchar_t* key, const std::wstring& field,
              const wchar_t*) {
        write(section, key, field);
    }
    void integer(const wchar_t* section, const wchar_t* key, std::int32_t field, int) {
        write(section, key, std::to_wstring(field));
    }
    void flag(const wchar_t* section, const wchar_t* key, bool field, bool) {
        write(section, key, field ? L"1" : L"0");
    }
    void weight(const wchar_t* section, const wchar_t* key, float field, const wchar_t*) {
        write(section, key, formatWeight(field));
    }

private:
    // Later keys are still written after a refusal, so one bad write loses no more than itself.
    void write(const wchar_t* section, const std::wstring& key, const std::wstring& value) {
        if (!file_.writeString(section, key, value)) {
            allWritten_ = false;
        }
    }

    const ProfileFile& file_;
    bool allWritten_ = true;
};

// Every key with its section and default, once, in the order of reading and writing; a file
// written from nothing has its sections and keys in this order.
template <typename Io, typename Settings>
void exchangeFields(Io& io, Settings& s) {
    for (int bank = 0; bank < kBankCount; ++bank) {
        for (int key = 0; key < kFnKeyCount; ++key) {
            const std::wstring name = fnKeyName(key);
            const wchar_t* stored = kDefaultMessage[bank][key];
            io.message(kBankSection[bank], name, s.fnMessage[bank][key],
                       stored ? std::wstring(stored) : name);
        }
    }
    io.text(L"Profile", L"MyCallSign", s.myCallSign, L"XX9XXX/1");
    io.text(L"Profile", L"No", s.number, L"");
    io.text(L"Keyer", L"0", s.replace0, L"0");
    io.text(L"Keyer", L"1", s.replace1, L"1");
    io.text(L"Keyer", L"9", s.replace9, L"9");
    io.integer(L"Keyer", L"CQ_INT", s.cqInt, 2500);
    io.integer(L"Keyer", L"WPM", s.wpm, 20);
    io.flag(L"Keyer", L"PaddleRvs", s.paddleRvs, false);
    io.flag(L"Keyer", L"PTT", s.ptt, true);
    io.integer(L"Keyer", L"PTTDelayP", s.pttDelayP, 25);
    io.integer(L"Keyer", L"PTTDelayA", s.pttDelayA, 200);
    io.flag(L"Keyer", L"PTT_CQ_machine", s.pttCqMachine, false);
    io.flag(L"Keyer", L"SideTone", s.sideTone, true);
    io.integer(L"Keyer", L"ToneLevel", s.toneLevel, 7);
    io.flag(L"Keyer", L"PaddleKbd", s.paddleKbd, true);
    io.weight(L"Keyer", L"WeightDot", s.weightDot, L"1.0");
    io.weight(L"Keyer", L"WeightDash", s.weightDash, L"3.0");
    io.flag(L"Window", L"LogTime", s.logTime, false);
    io.flag(L"Window", L"ViewTop", s.viewTop, false);
    io.flag(L"Window", L"Fn12", s.fn12, false);
    io.flag(L"Keyer", L"SpyHlKey", s.spyHlKey, true);
    io.flag(L"Window", L"zLogKey", s.zLogKey, false);
    io.flag(L"Keyer", L"CwAlways", s.cwAlways, false);
    io.flag(L"Window", L"HookAnyway", s.hookAnyway, false);
    io.flag(L"Window", L"CloseAnyway", s.closeAnyway, true);
    io.integer(L"Keyer", L"end_GM", s.endGM, 12);
    io.integer(L"Keyer", L"end_GA", s.endGA, 18);
    io.integer(L"Keyer", L"end_GE", s.endGE, 0);
    io.flag(L"Experiment", L"NoReduceDeviceFreezes", s.noReduceDeviceFreezes, false);
    io.integer(L"Experiment", L"SendBufferMaxCount", s.sendBufferMaxCount, 3);
    io.integer(L"Experiment", L"SendBufferThreshold", s.sendBufferThreshold, 1);
}

}  // namespace

void loadSettings(AppSettings& settings) {
    const ProfileFile file(settingsFilePath());
    FieldReader reader(file);
    exchangeFields(reader, settings);
}

bool saveSettings(const AppSettings& settings) {
    const ProfileFile file(settingsFilePath());
    // Otherwise kana and full-width messages would be written in the ANSI code page and come
    // back as "?".
    file.prepareForUnicode();
    FieldWriter writer(file);
    exchangeFields(writer, settings);
    return writer.allWritten();
}

}  // namespace omvar::Vetrin
