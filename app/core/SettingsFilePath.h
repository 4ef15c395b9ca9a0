#pragma once

#include <string>

namespace omvar::Vetrin {

// The settings file that loadSettings and saveSettings work on. Set once at start-up; until then
// (and when set to an empty path) it is defaultSettingsFilePath().
void setSettingsFilePath(std::wstring path);
std::wstring settingsFilePath();

// "Vetrin.ini" in the directory of the running executable.
std::wstring defaultSettingsFilePath();

}  // namespace omvar::Vetrin
