#include "Stage.h"

#include "SettingsFilePath.h"

#include "ProgramFolder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace omvar::demo {

std::wstring tempFolder(const std::wstring& name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder =
        std::wstring(base) + L"vetrin-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string readFile(const std::wstring& path) {
    std::ifstream in{std::filesystem::path(path), std::ios::binary};
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Stage::Stage(const std::wstring& name, Interface kind) : folder_(tempFolder(name)) {
    const std::wstring from = testing_support::programFolder();
    copy(from + L"Vetrin.exe", L"Vetrin.exe");
    copy(from + L"Snarel.dll", L"Snarel.dll");
    if (kind == Interface::virtualUnit) {
        copy(from + L"virtual\\quentrax.dll", L"quentrax.dll");
    } else if (kind == Interface::realLibrary) {
        copy(from + L"quentrax.dll", L"quentrax.dll");
    }
}

Stage::~Stage() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

omvar::Vetrin::AppSettings Stage::defaultSettings() const {
    omvar::Vetrin::setSettingsFilePath(path(L"Vetrin.ini"));
    omvar::Vetrin::AppSettings settings;
    omvar::Vetrin::loadSettings(settings);
    return settings;
}

void Stage::writeSettings(const omvar::Vetrin::AppSettings& settings) const {
    omvar::Vetrin::setSettingsFilePath(path(L"Vetrin.ini"));
    omvar::Vetrin::saveSettings(settings);
}

VetrinProcess::Options Stage::options(
    const std::wstring& workingDirectory,
    const std::vector<std::pair<std::wstring, std::wstring>>& extra) const {
    std::vector<std::pair<std::wstring, std::wstring>> environment = {
        {L"QUENTRAX_VIRTUAL_TIMELINE", path(L"timeline.txt")},
        {L"QUENTRAX_VIRTUAL_SOUND", L"0"},
        {L"QUENTRAX_VIRTUAL_PANEL", L"0"}};
    for (const auto& [name, value] : extra) {
        bool replaced = false;
        for (auto& entry : environment) {
            if (entry.first == name) {
                entry.second = value;
                replaced = true;
            }
        }
        if (!replaced) {
            environment.emplace_back(name, value);
        }
    }
    return {path(L"Vetrin.exe"), workingDirectory, std::move(environment)};
}

void Stage::copy(const std::wstring& from, const std::wstring& name) {
    if (!CopyFileW(from.c_str(), path(name).c_str(), FALSE)) {
        throw std::runtime_error("cannot stage a file");
    }
}

}  // namespace omvar::demo
