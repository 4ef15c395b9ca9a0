#include "Logging.h"

#include <quentrax.h>

#include <gtest/gtest.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FileLine {
    std::string name;   // inside the brackets, padding included
    std::string level;  // inside the brackets, padding included
    std::string text;
};

class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ =
            fs::temp_directory_path() /
            ("vetrin-logging-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(counter++));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        options_.file_name = (dir_ / "Vetrin.log").string();
    }

    void TearDown() override {
        spdlog::shutdown();
        // The library keeps the loggers handed to it, and with them the log file: give it
        // loggers of its own again so the file can be removed.
        for (const char* name : {"quentrax", "qxpacket"}) {
            quentraxSetLogger(std::make_shared<spdlog::logger>(
                name, std::make_shared<spdlog::sinks::null_sink_mt>()));
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    static void flush_all() {
        spdlog::apply_all([](const std::shared_ptr<spdlog::logger>& l) { l->flush(); });
    }

    std::string file_bytes() const {
        flush_all();
        std::ifstream in(options_.file_name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<FileLine> file_lines() const {
        static const std::regex line_re(
            R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[([^\]]*)\]\[([^\]]*)\] (.*))");
        std::vector<FileLine> lines;
        const std::string bytes = file_bytes();
        size_t start = 0;
        for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = bytes.substr(start, end - start);
            std::smatch m;
            EXPECT_TRUE(std::regex_match(line, m, line_re)) << line;
            lines.push_back({m[1], m[2], m[3]});
        }
        EXPECT_EQ(start, bytes.size()) << "unterminated last line";
        return lines;
    }

    fs::path dir_;
    omvar::LoggingOptions options_;
};

TEST_F(LoggingTest, BannerOpensTheFile) {
    omvar::setupLogging(options_);
    const auto lines = file_lines();
    ASSERT_GE(lines.size(), 6u);
    const std::string dashes(55, '-');
    EXPECT_EQ(lines[0].text, dashes);
    EXPECT_EQ(lines[1].text, " 「Vetrin」が起動しました");
    EXPECT_EQ(lines[2].text, "  " + std::string(40, ' ') + "Ver: 2.0.1");
    EXPECT_TRUE(std::regex_match(
        lines[3].text,
        std::regex(" {25}Build: (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\\d "
                   "\\d{4} \\d\\d:\\d\\d:\\d\\d")))
        << lines[3].text;
    EXPECT_EQ(lines[4].text, dashes);
    EXPECT_EQ(lines[5].text, "動作環境: " + omvar::operatingSystemName());
    EXPECT_EQ(lines.size(), 6u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.name, "default  ");
        EXPECT_EQ(line.level, "info   ");
    }
#ifdef _WIN32
    const std::vector<std::string> known{"Windows 10 Or Greater", "Windows 8",  "Windows 7",
                                         "Windows Vista",         "Windows XP", "Unknown"};
    EXPECT_NE(std::find(known.begin(), known.end(), omvar::operatingSystemName()), known.end());
#endif
}

TEST_F(LoggingTest, SixLoggersAtDebugWithDefaultFirst) {
    omvar::setupLogging(options_);
    for (const char* name : {"default", "quentrax", "qxpacket", "Vetrin", "HLTracker", "Snarel"}) {
        auto logger = spdlog::get(name);
        ASSERT_TRUE(logger) << name;
        EXPECT_EQ(logger->level(), spdlog::level::debug) << name;
        EXPECT_EQ(logger->sinks().size(), 2u) << name;
        EXPECT_EQ(logger->sinks(), spdlog::get("default")->sinks()) << name;
    }
    EXPECT_EQ(spdlog::default_logger(), spdlog::get("default"));
    // A second set-up in the same run is a programming error, reported by the registry.
    EXPECT_THROW(omvar::setupLogging(options_), spdlog::spdlog_ex);
}

TEST_F(LoggingTest, PacketTraceReachesTheFileWithoutColourSequences) {
    omvar::setupLogging(options_);
    spdlog::get("qxpacket")
        ->debug("\033[0;32m▌Read Packet \033[0m {}\033[0m", "05 60 88 A8 00 00 1F 30 ");
    spdlog::get("qxpacket")
        ->debug("\033[0;36m▌Write Packet\033[0m {} {}\033[0m", "\033[0;33m[RETRY]\033[0m",
                "05 60 00 00 00 00 00 00 ");
    const std::string bytes = file_bytes();
    EXPECT_EQ(bytes.find('\033'), std::string::npos);
    const auto lines = file_lines();
    ASSERT_GE(lines.size(), 2u);
    const auto& read = lines[lines.size() - 2];
    EXPECT_EQ(read.name, "qxpacket ");
    EXPECT_EQ(read.level, "debug  ");
    EXPECT_EQ(read.text, "▌Read Packet  05 60 88 A8 00 00 1F 30 ");
    EXPECT_EQ(lines.back().text, "▌Write Packet [RETRY] 05 60 00 00 00 00 00 00 ");
}

TEST_F(LoggingTest, OnlyColourSequencesAreRemoved) {
    omvar::setupLogging(options_);
    // An ESC that starts no colour sequence, and bracket text that merely looks like one.
    spdlog::get("Vetrin")->info("a\033[1;2;3mb [0;31m c\033[31m\033[md\033[Ke");
    EXPECT_EQ(file_lines().back().text, "ab [0;31m cd\033[Ke");
}

TEST_F(LoggingTest, NameColumnIsPaddedToNineAndNeverCut) {
    omvar::setupLogging(options_);
    const auto sinks = spdlog::get("default")->sinks();
    spdlog::logger longer("LongerThanNine", sinks.begin(), sinks.end());
    spdlog::get("Vetrin")->info("v");
    spdlog::get("HLTracker")->warn("h");
    longer.error("l");
    const auto lines = file_lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3].name, "Vetrin   ");
    EXPECT_EQ(lines[lines.size() - 2].name, "HLTracker");
    EXPECT_EQ(lines[lines.size() - 2].level, "warning");
    EXPECT_EQ(lines.back().name, "LongerThanNine");
    EXPECT_EQ(lines.back().level, "error  ");
}

TEST_F(LoggingTest, LinesEndInCrLf) {
    omvar::setupLogging(options_);
    spdlog::get("Snarel")->info("line");
    const std::string bytes = file_bytes();
    size_t lf = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lf;
            ASSERT_GT(i, 0u);
            EXPECT_EQ(bytes[i - 1], '\r') << "bare LF at byte " << i;
        }
    }
    EXPECT_EQ(lf, 7u);
}

TEST_F(LoggingTest, FullFileStartsAgainWithoutBackup) {
    options_.max_file_size = 4096;
    omvar::setupLogging(options_);
    auto logger = spdlog::get("Vetrin");
    const std::string filler(100, 'x');
    size_t size_before = 0;
    int written = 0;
    // Fill the file up to just below the limit.
    for (;;) {
        const size_t size = file_bytes().size();
        ASSERT_LE(size, options_.max_file_size);
        if (size < size_before) {
            break;
        }
        size_before = size;
        logger->info("{:04d} {}", written++, filler);
        ASSERT_LT(written, 100);
    }
    // The line that would have crossed the limit starts the file again, alone.
    const auto lines = file_lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, fmt::format("{:04d} {}", written - 1, filler));
    EXPECT_GT(size_before + file_bytes().size(), options_.max_file_size);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        files.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(files, std::vector<std::string>{"Vetrin.log"});
}

TEST_F(LoggingTest, LoggersAreHandedToTheInterfaceLibrary) {
    omvar::setupLogging(options_);
    // As the program's start-up does.
    quentraxSetLogger(spdlog::get("quentrax"));
    quentraxSetLogger(spdlog::get("qxpacket"));
    // The library refuses this logger with an error line written through its "quentrax"
    // logger, which from now on is ours.
    quentraxSetLogger(std::make_shared<spdlog::logger>("default"));
    const auto lines = file_lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().name, "quentrax ");
    EXPECT_EQ(lines.back().level, "error  ");
    EXPECT_EQ(lines.back().text, "Please set quentrax logger or qxpacket logger");
}

TEST_F(LoggingTest, UnwritableLogFileLeavesTheConsole) {
    // A path below a regular file cannot be created, whoever runs the test.
    std::ofstream(dir_ / "blocker") << "x";
    options_.file_name = (dir_ / "blocker" / "Vetrin.log").string();
    ::testing::internal::CaptureStdout();
    EXPECT_NO_THROW(omvar::setupLogging(options_));
    spdlog::get("Vetrin")->info("still logging");
    flush_all();
    const std::string console = ::testing::internal::GetCapturedStdout();
    for (const char* name : {"default", "quentrax", "qxpacket", "Vetrin", "HLTracker", "Snarel"}) {
        ASSERT_TRUE(spdlog::get(name)) << name;
        EXPECT_EQ(spdlog::get(name)->sinks().size(), 1u) << name;
    }
    EXPECT_NE(console.find("ログファイル " + options_.file_name + " を開けません"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find("still logging"), std::string::npos) << console;
}

}  // namespace
