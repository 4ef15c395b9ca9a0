#include "MacroExpansion.h"

#include "MorseCode.h"

#include <array>
#include <ctime>
#include <stdexcept>

namespace omvar::Vetrin {
namespace {

constexpr std::array<std::wstring_view, 4> kImmediateMacros = {L"$C", L"$M", L"$G", L"$N"};
constexpr std::array<std::wstring_view, 2> kDeferredMacros = {L"$R", L"$A"};
constexpr std::array<std::wstring_view, 6> kProsigns = {L"[AR]", L"[KN]", L"[VA]",
                                                        L"[BK]", L"[ﾎﾚ]", L"[ﾗﾀ]"};

int localHour(std::int64_t timeStamp) {
    const std::time_t seconds = static_cast<std::time_t>(timeStamp / 1000);
    std::tm local{};
    if (localtime_s(&local, &seconds) != 0) {
        throw std::runtime_error("Error getting local time");
    }
    return local.tm_hour;
}

std::wstring greeting(std::int64_t timeStamp, const InfoForMacroExpansion& info) {
    const int hour = localHour(timeStamp);
    if (hour >= info.endGA) {
        return L"GE";
    }
    if (hour < info.endGM) {
        return L"GM";
    }
    return L"GA";
}

template <std::size_t N>
bool isOneOf(std::wstring_view token, const std::array<std::wstring_view, N>& list) {
    for (const auto& entry : list) {
        if (token == entry) {
            return true;
        }
    }
    return false;
}

// 2 for a surrogate pair, otherwise 1.
std::size_t characterLength(std::wstring_view text, std::size_t pos) {
    const bool pair = pos + 1 < text.size() && text[pos] >= 0xD800 && text[pos] <= 0xDBFF &&
                      text[pos + 1] >= 0xDC00 && text[pos + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// Its code from the code table, 0 when the table has none.
SendElement makeCharacterElement(std::wstring text, std::int64_t timeStamp, bool displayOnly) {
    SendElement element;
    element.kind = SendElement::kCharacter;
    element.code = quentrax::to_native_code(std::wstring_view(text));
    element.text = std::move(text);
    element.timeStamp = timeStamp;
    element.displayOnly = displayOnly;
    return element;
}

}  // namespace

std::wstring replaceAll(std::wstring text, std::wstring_view pattern,
                        std::wstring_view replacement) {
    if (pattern.empty()) {
        return text;
    }
    for (std::size_t at = text.find(pattern); at != std::wstring::npos;
         at = text.find(pattern, at + replacement.size())) {
        text.replace(at, pattern.size(), replacement);
    }
    return text;
}

std::wstring replaceDigits(std::wstring text, const AppSettings& settings) {
    text = replaceAll(std::move(text), L"0", settings.replace0);
    text = replaceAll(std::move(text), L"1", settings.replace1);
    return replaceAll(std::move(text), L"9", settings.replace9);
}

InfoForMacroExpansion fillInfoForMacroExpansion(const AppSettings& settings,
                                                const ControlTextReader& readControlText,
                                                MacroFields fields) {
    InfoForMacroExpansion info;
    const auto read = [&readControlText](bool wanted, HamlogControlId id, bool& missing) {
        if (!wanted) {
            return std::wstring();
        }
        std::optional<std::wstring> text = readControlText(id);
        missing = !text.has_value();
        return text.value_or(std::wstring());
    };
    info.hisCall = read(fields.hisCall, HamlogControlId::callField, info.missing.hisCall);
    info.hisName = read(fields.hisName, HamlogControlId::nameField, info.missing.hisName);
    info.myCall = settings.myCallSign;
    info.number = replaceDigits(settings.number, settings);
    std::wstring report = read(fields.report, HamlogControlId::hisRstField, info.missing.report);
    if (report.empty()) {
        report = L"599";
    }
    info.report = replaceDigits(std::move(report), settings);
    info.endGM = settings.endGM;
    info.endGA = settings.endGA;
    info.endGE = settings.endGE;
    return info;
}

MacroFields fieldsForImmediateMacros(std::wstring_view text) {
    return {text.find(L"$C") != std::wstring_view::npos, false, false};
}

MacroFields fieldsForLateMacro(std::wstring_view macro) {
    return {false, macro == L"$A", macro == L"$R"};
}

std::optional<HamlogControlId> missingFieldOf(std::wstring_view macro,
                                              const InfoForMacroExpansion& info) {
    if (macro == L"$C" && info.missing.hisCall) {
        return HamlogControlId::callField;
    }
    if (macro == L"$A" && info.missing.hisName) {
        return HamlogControlId::nameField;
    }
    if (macro == L"$R" && info.missing.report) {
        return HamlogControlId::hisRstField;
    }
    return std::nullopt;
}

const char* fieldName(HamlogControlId id) {
    switch (id) {
        case HamlogControlId::callField:
            return "call";
        case HamlogControlId::nameField:
            return "name";
        case HamlogControlId::hisRstField:
            return "report";
        case HamlogControlId::modeField:
            return "mode";
        default:
            return "other";
    }
}

std::wstring macroValue(const SendElement& element, const InfoForMacroExpansion& info) {
    const std::wstring_view name = element.text;
    if (name == L"$R") {
        return info.report;
    }
    if (name == L"$A") {
        std::wstring stripped = replaceAll(info.hisName, L"(", L"");
        stripped = replaceAll(std::move(stripped), L")", L"");
        return replaceAll(std::move(stripped), L"/", L"");
    }
    if (name == L"$C") {
        return info.hisCall;
    }
    if (name == L"$M") {
        return info.myCall;
    }
    if (name == L"$G") {
        return greeting(element.timeStamp, info);
    }
    if (name == L"$N") {
        return info.number;
    }
    return {};
}

std::wstring expandImmediateMacros(std::wstring text, const InfoForMacroExpansion& info,
                                   std::int64_t timeStamp) {
    for (const auto& name : kImmediateMacros) {
        if (text.find(name) == std::wstring::npos) {
            continue;
        }
        SendElement macro;
        macro.kind = SendElement::kDeferredMacro;
        macro.text = name;
        macro.timeStamp = timeStamp;
        text = replaceAll(std::move(text), name, macroValue(macro, info));
    }
    return text;
}

std::vector<SendElement> makeCharacterElements(std::wstring_view text, std::int64_t timeStamp,
                                               bool displayOnly) {
    std::vector<SendElement> elements;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = characterLength(text, pos);
        elements.push_back(
            makeCharacterElement(std::wstring(text.substr(pos, length)), timeStamp, displayOnly));
        pos += length;
    }
    return elements;
}

std::vector<SendElement> tokenizeCwText(std::wstring_view text, std::int64_t timeStamp) {
    std::vector<SendElement> elements;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::wstring_view two = text.substr(pos, 2);
        const std::wstring_view four = text.substr(pos, 4);
        if (isOneOf(two, kDeferredMacros)) {
            SendElement macro;
            macro.kind = SendElement::kDeferredMacro;
            macro.text = two;
            macro.timeStamp = timeStamp;
            elements.push_back(std::move(macro));
            pos += 2;
        } else if (isOneOf(four, kProsigns)) {
            SendElement prosign;
            prosign.kind = SendElement::kProsign;
            prosign.text = four;
            prosign.code = quentrax::to_native_code(four);
            prosign.prosign = true;
            prosign.timeStamp = timeStamp;
            elements.push_back(std::move(prosign));
            pos += 4;
        } else {
            const std::size_t length = characterLength(text, pos);
            elements.push_back(
                makeCharacterElement(std::wstring(text.substr(pos, length)), timeStamp, false));
            pos += length;
        }
    }
    return elements;
}

}  // namespace omvar::Vetrin
