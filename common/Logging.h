#pragma once

#include <cstddef>
#include <string>

namespace omvar {

struct LoggingOptions {
    // Relative to the current directory, which start-up sets to the executable's directory.
    std::string file_name = "Vetrin.log";
    // With no backup file, reaching this size truncates the file and starts it again.
    std::size_t max_file_size = 52428800;
};

// Creates the console and file sinks and the loggers "default", "quentrax", "qxpacket",
// "Vetrin", "HLTracker" and "Snarel" and writes the start banner; the program's start-up then
// hands "quentrax" and "qxpacket" to the interface library. Call once, before anything else
// logs. When the log file cannot be opened, logging goes on to the console alone and says so
// there.
void setupLogging(const LoggingOptions& options = LoggingOptions());

// Name of the running operating system as the start banner shows it.
std::string operatingSystemName();

}  // namespace omvar
