#include "SettingsFilePath.h"

#include "win32/ExecutableFolder.h"

#include <mutex>

namespace omvar::Vetrin {

namespace {

std::mutex pathMutex;
std::wstring configuredPath;

}  // namespace

void setSettingsFilePath(std::wstring path) {
    std::lock_guard held(pathMutex);
    configuredPath = std::move(path);
}

std::wstring settingsFilePath() {
    {
        std::lock_guard held(pathMutex);
        if (!configuredPath.empty()) {
            return configuredPath;
        }
    }
    return defaultSettingsFilePath();
}

std::wstring defaultSettingsFilePath() {
    return win32::executableFolder() + L"Vetrin.ini";
}

}  // namespace omvar::Vetrin
