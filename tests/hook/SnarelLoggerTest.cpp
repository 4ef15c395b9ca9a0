#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "SnarelLog.h"

namespace {

using testing_support::capturing_logger;

// A refusal comes back as false, never as an exception: in the 32-bit build an exception
// thrown inside the library towards this program would end the process.
TEST(SnarelLogger, RefusesNullAndWrongNamesAndKeepsTheCurrentLogger) {
    auto [current, currentSink] = capturing_logger("Snarel");
    EXPECT_TRUE(omvar::Snarel::SetLogger(current));
    EXPECT_EQ(currentSink->lines().back().level, spdlog::level::debug);
    EXPECT_EQ(currentSink->texts(), (std::vector<std::string>{"SetLogger()"}));

    currentSink->clear();
    EXPECT_FALSE(omvar::Snarel::SetLogger(nullptr));
    auto [other, otherSink] = capturing_logger("snarel");
    EXPECT_FALSE(omvar::Snarel::SetLogger(other));
    EXPECT_EQ(currentSink->texts(),
              (std::vector<std::string>{"SetLogger: logger is null",
                                        "SetLogger: Please set Snarel logger"}));
    for (const auto& line : currentSink->lines()) {
        EXPECT_EQ(line.level, spdlog::level::err);
    }
    // The refused logger still heard the call itself, as it was named after the null test.
    EXPECT_EQ(otherSink->texts(), (std::vector<std::string>{"SetLogger()"}));

    currentSink->clear();
    omvar::Snarel::SetNotifyWindow(nullptr);
    EXPECT_EQ(currentSink->texts(), (std::vector<std::string>{"SetNotifyWindow()"}));
    EXPECT_EQ(otherSink->count("SetNotifyWindow()"), 0u);

    EXPECT_TRUE(omvar::Snarel::SetLogger(snarel_test::snarelLog().first));
}

TEST(SnarelLogger, EntryPointsAndThreadNotificationsAreLoggedAtTheirLevels) {
    const auto& sink = snarel_test::snarelLog().second;
    sink->clear();
    const unsigned int id = omvar::Snarel::GetMessageDataId();
    EXPECT_EQ(id, RegisterWindowMessageW(L"Snarel.dll {5cb9a8aa-dc41-f664-1150-ae84ffa47770}"));
    EXPECT_EQ(omvar::Snarel::GetMessageDataId(), id);
    omvar::Snarel::SetMessageFilter({});
    omvar::Snarel::SetNotifyWindow(nullptr);
    std::thread([] {}).join();

    using Line = std::pair<std::string, spdlog::level::level_enum>;
    std::vector<Line> lines;
    for (const auto& line : sink->lines()) {
        lines.emplace_back(line.text, line.level);
    }
    using spdlog::level::debug;
    using spdlog::level::trace;
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<Line>(lines.begin(), lines.begin() + 4),
              (std::vector<Line>{{"GetMessageDataId()", trace},
                                 {"GetMessageDataId()", trace},
                                 {"SetMessageFilter()", debug},
                                 {"SetNotifyWindow()", debug}}));
    // Other threads of the process may come and go meanwhile; ours must be among them.
    const std::vector<Line> rest(lines.begin() + 4, lines.end());
    EXPECT_NE(std::find(rest.begin(), rest.end(), Line{"Snarel.dll: thread attach", trace}),
              rest.end());
    EXPECT_NE(std::find(rest.begin(), rest.end(), Line{"Snarel.dll: thread detach", trace}),
              rest.end());
}

}  // namespace
