#pragma once

// The program staged in a folder of its own, as an operator installs it, for the end-to-end
// tests and the benchmarks that drive it from outside.
#include "AppSettings.h"
#include "VetrinProcess.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace omvar::demo {

// A new empty folder under the temporary folder, named after this process and `name`.
std::wstring tempFolder(const std::wstring& name);
std::string readFile(const std::wstring& path);

class Stage {
public:
    enum class Interface { virtualUnit, realLibrary, none };

    Stage(const std::wstring& name, Interface kind);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    std::wstring path(const std::wstring& file) const { return folder_ + L"\\" + file; }

    // The defaults, as the program reads them from the stage's settings file, which does not
    // exist yet. (Loaded from another path, the system's profile functions could still hold an
    // earlier stage's file after it was deleted.)
    omvar::Vetrin::AppSettings defaultSettings() const;
    void writeSettings(const omvar::Vetrin::AppSettings& settings) const;

    // Started from another folder, as from a shortcut whose working directory is elsewhere; the
    // virtual QUENTRAX writes its key timeline, makes no sound and shows no panel. `extra`
    // adds to or replaces these variables.
    VetrinProcess::Options options(
        const std::wstring& workingDirectory,
        const std::vector<std::pair<std::wstring, std::wstring>>& extra = {}) const;

private:
    void copy(const std::wstring& from, const std::wstring& name);

    std::wstring folder_;
};

}  // namespace omvar::demo
