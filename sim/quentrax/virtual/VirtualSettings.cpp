#include "VirtualSettings.h"

#include <windows.h>

#include <optional>
#include <stdexcept>

namespace omvar::sim::virtual_unit {

namespace {

std::optional<std::wstring> variable(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length);
    return value;
}

bool switchedOff(const std::optional<std::wstring>& value) {
    return value && (*value == L"0" || *value == L"off" || *value == L"no");
}

}  // namespace

VirtualSettings VirtualSettings::fromEnvironment(std::wstring& problems) {
    VirtualSettings settings;
    if (auto firmware = variable(L"QUENTRAX_VIRTUAL_FIRMWARE")) {
        try {
            std::size_t used = 0;
            const int value = std::stoi(*firmware, &used);
            if (used != firmware->size() || value < 1 || value > 99) {
                throw std::out_of_range("firmware");
            }
            settings.firmware = value;
        } catch (const std::exception&) {
            problems += L"QUENTRAX_VIRTUAL_FIRMWARE=" + *firmware + L" is not 1..99; ";
        }
    }
    settings.timelinePath = variable(L"QUENTRAX_VIRTUAL_TIMELINE").value_or(L"");
    settings.wavPath = variable(L"QUENTRAX_VIRTUAL_WAV").value_or(L"");
    settings.sound = !switchedOff(variable(L"QUENTRAX_VIRTUAL_SOUND"));
    settings.panel = !switchedOff(variable(L"QUENTRAX_VIRTUAL_PANEL"));
    settings.plugged = !switchedOff(variable(L"QUENTRAX_VIRTUAL_PLUGGED"));
    return settings;
}

}  // namespace omvar::sim::virtual_unit
