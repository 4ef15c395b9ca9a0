#include "NumberFields.h"

#include "Strings.h"
#include "resource.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cwchar>

namespace omvar::Vetrin {

namespace {

// Blanks trimmed; full-width digits, point and minus made ASCII.
std::wstring plainNumberText(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c >= L'０' && c <= L'９') {
            c = static_cast<wchar_t>(L'0' + (c - L'０'));
        } else if (c == L'．') {
            c = L'.';
        } else if (c == L'－' || c == L'−') {
            c = L'-';
        } else if (c == L'＋') {
            c = L'+';
        } else if (c == L'　') {
            c = L' ';
        }
        out.push_back(c);
    }
    const auto first = out.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return {};
    }
    return out.substr(first, out.find_last_not_of(L" \t") - first + 1);
}

std::wstring boundText(double bound) {
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"%g", bound);
    return buffer;
}

[[noreturn]] void refuse(ui::DataExchange& dx, bool empty, UINT emptyId, UINT rangeId,
                         const std::wstring& minimum, const std::wstring& maximum) {
    dx.fail(ui::formatPrompt(ui::loadString(empty ? emptyId : rangeId), {minimum, maximum}));
}

// A number as the edits show it: at most `digits` significant digits, and at least one decimal
// ("1.0", "2.5").
std::wstring formatReal(double value, int digits) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%.*g", digits, value);
    std::wstring text = buffer;
    if (std::isfinite(value) && text.find_first_of(L".e") == std::wstring::npos) {
        text += L".0";
    }
    return text;
}

// The whole text (blanks around it aside) as a decimal number; false when it is not one.
bool parseReal(const std::wstring& text, double& value) {
    const std::wstring plain = plainNumberText(text);
    // wcstod also reads "inf", "nan" and hexadecimal forms; none of them is a setting.
    if (plain.empty() || plain.find_first_not_of(L"0123456789.+-eE") != std::wstring::npos) {
        return false;
    }
    wchar_t* end = nullptr;
    const double parsed = std::wcstod(plain.c_str(), &end);
    if (end == nullptr || *end != L'\0' || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseInt(const std::wstring& text, int& value) {
    const std::wstring plain = plainNumberText(text);
    if (plain.empty()) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = std::wcstoll(plain.c_str(), &end, 10);
    if (end == nullptr || *end != L'\0' || errno == ERANGE || parsed < INT_MIN ||
        parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

void exchangeInt(ui::DataExchange& dx, int id, int& value, int minimum, int maximum) {
    std::wstring text;
    if (!dx.saving()) {
        text = std::to_wstring(value);
        dx.text(id, text);
        return;
    }
    dx.text(id, text);  // also makes this the control that a refusal focuses
    int parsed = 0;
    if (!parseInt(text, parsed) || parsed < minimum || parsed > maximum) {
        refuse(dx, plainNumberText(text).empty(), IDS_EMPTY_INT_RANGE, IDP_PARSE_INT_RANGE,
               std::to_wstring(minimum), std::to_wstring(maximum));
    }
    value = parsed;
}

void exchangeReal(ui::DataExchange& dx, int id, double& value, double minimum, double maximum,
                  int digits) {
    std::wstring text;
    if (!dx.saving()) {
        text = formatReal(value, digits);
        dx.text(id, text);
        return;
    }
    dx.text(id, text);
    double parsed = 0;
    if (!parseReal(text, parsed) || parsed < minimum || parsed > maximum) {
        refuse(dx, plainNumberText(text).empty(), IDS_EMPTY_REAL_RANGE, IDP_PARSE_REAL_RANGE,
               boundText(minimum), boundText(maximum));
    }
    value = parsed;
}

}  // namespace omvar::Vetrin
