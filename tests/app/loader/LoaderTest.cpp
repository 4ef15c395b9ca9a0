// The program's loader of quentrax.dll and Snarel.dll, linked here as in the program: the names it
// resolves exist in the libraries of this build, calls load the library at the first use and reach
// it, unloading frees both, and a library that is missing or lacks an export only costs one log
// line.
#include "DelayedLibrary.h"
#include "ProgramLibraries.h"

#include "CapturingSink.h"
#include "ProgramFolder.h"
#include "Snarel.h"
#include "quentrax.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <windows.h>

#include <memory>
#include <string>

using omvar::Vetrin::DelayedLibrary;
using testing::HasSubstr;
using testing_support::programFolder;

namespace {

// Exports of `file` (beside this program) that GetProcAddress does not find.
std::vector<std::string> unresolved(const std::wstring& file,
                                    const std::vector<std::string>& names) {
    HMODULE module = LoadLibraryW((programFolder() + file).c_str());
    if (module == nullptr) {
        return {"(cannot load the file)"};
    }
    std::vector<std::string> missing;
    for (const auto& name : names) {
        if (GetProcAddress(module, name.c_str()) == nullptr) {
            missing.push_back(name);
        }
    }
    FreeLibrary(module);
    return missing;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        spdlog::drop("Vetrin");
        auto [logger, sink] = testing_support::capturing_logger("Vetrin");
        spdlog::register_logger(logger);
        log = sink;
    }
    void TearDown() override { spdlog::drop("Vetrin"); }

    std::shared_ptr<testing_support::CapturingSink> log;
};

TEST_F(LoaderTest, EveryNameItUsesIsExportedByTheLibrariesOfThisBuild) {
    const auto& quentraxNames = omvar::Vetrin::quentraxLibrary().exportNames();
    EXPECT_EQ(quentraxNames.size(), 24u);
    EXPECT_THAT(unresolved(L"quentrax.dll", quentraxNames), testing::IsEmpty());
    EXPECT_THAT(unresolved(L"virtual\\quentrax.dll", quentraxNames), testing::IsEmpty());
    const auto& snarelNames = omvar::Vetrin::snarelLibrary().exportNames();
    EXPECT_EQ(snarelNames.size(), 6u);
    EXPECT_THAT(unresolved(L"Snarel.dll", snarelNames), testing::IsEmpty());
}

TEST_F(LoaderTest, TheFirstCallLoadsTheLibraryAndUnloadingFreesBoth) {
    ASSERT_EQ(GetModuleHandleW(L"Snarel.dll"), nullptr);
    ASSERT_EQ(GetModuleHandleW(L"quentrax.dll"), nullptr);

    // The hook library's record tag is its registered message.
    EXPECT_EQ(omvar::Snarel::GetMessageDataId(),
              RegisterWindowMessageW(L"Snarel.dll {5cb9a8aa-dc41-f664-1150-ae84ffa47770}"));
    EXPECT_NE(GetModuleHandleW(L"Snarel.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"quentrax.dll"), nullptr);

    // A logger handed over through the loader is the one the library writes to (a C++ object
    // by value, through a decorated name on 32-bit Windows).
    auto [library, librarySink] = testing_support::capturing_logger("quentrax");
    quentraxSetLogger(library);
    EXPECT_NE(GetModuleHandleW(L"quentrax.dll"), nullptr);
    EXPECT_EQ(quentraxGetVersion(7), -1);
    EXPECT_FALSE(librarySink->lines().empty());
    quentraxSetExtendedOption(7, 1, 1);  // decorated on 32-bit Windows too; refused, no harm

    omvar::Vetrin::unloadProgramLibraries();
    EXPECT_EQ(GetModuleHandleW(L"Snarel.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"quentrax.dll"), nullptr);
    // Nothing loads them again after the exit's unloading.
    EXPECT_EQ(quentraxOpen(0), -1);
    EXPECT_EQ(omvar::Snarel::GetMessageDataId(), 0u);
    EXPECT_FALSE(omvar::Snarel::StartHook());
    EXPECT_EQ(GetModuleHandleW(L"quentrax.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"Snarel.dll"), nullptr);
    for (const auto& line : log->lines()) {
        EXPECT_NE(line.level, spdlog::level::err) << line.text;
    }
}

TEST_F(LoaderTest, AMissingLibraryIsOneErrorLineAndNoFunctions) {
    DelayedLibrary library(L"no-such-library.dll", {"quentraxOpen"});
    EXPECT_EQ(library.address(0), nullptr);
    EXPECT_EQ(library.address(0), nullptr);
    EXPECT_FALSE(library.isLoaded());
    ASSERT_EQ(log->lines().size(), 1u);
    EXPECT_EQ(log->lines()[0].level, spdlog::level::err);
    EXPECT_THAT(log->lines()[0].text, HasSubstr("no-such-library.dll could not be loaded"));
}

TEST_F(LoaderTest, ALibraryWithoutAnExportIsNotUsedAtAll) {
    DelayedLibrary library(L"Snarel.dll", {"_ZN5omvar6Snarel9StartHookEv", "quentraxOpen"});
    EXPECT_EQ(library.address(0), nullptr);
    EXPECT_EQ(library.address(1), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"Snarel.dll"), nullptr);  // freed again
    ASSERT_EQ(log->lines().size(), 1u);
    EXPECT_EQ(log->lines()[0].level, spdlog::level::err);
    EXPECT_THAT(log->lines()[0].text, HasSubstr("Snarel.dll"));
    EXPECT_THAT(log->lines()[0].text, HasSubstr("lacks the export(s) quentraxOpen;"));
}

}  // namespace
