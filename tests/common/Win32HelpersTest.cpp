#include "win32/ExecutableFolder.h"

#include "DeepFolder.h"
#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

TEST(ModulePath, AModuleInAFolderDeeperThanMaxPathHasItsWholePath) {
    const testing_support::DeepFolder folder(L"vetrin-deep-module");
    const std::wstring copied = folder.path() + L"\\module_probe.dll";
    ASSERT_GT(copied.size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(CopyFileW((testing_support::programFolder() + L"module_probe.dll").c_str(),
                          copied.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copied.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    EXPECT_EQ(omvar::win32::modulePath(module), copied);
    FreeLibrary(module);
}

}  // namespace
