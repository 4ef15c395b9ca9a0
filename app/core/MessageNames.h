#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace omvar::Vetrin {

// One (identifier, name) pair of the generated list (MessageNameList.cpp, written by
// scripts/gen-message-names). The list is sorted by identifier and then by name; where names
// share an identifier, the first one listed is the one the table gives.
struct MessageNameEntry {
    std::uint32_t id;
    const wchar_t* name;
};

extern const MessageNameEntry kMessageNameList[];
extern const std::size_t kMessageNameListSize;

std::span<const MessageNameEntry> messageNameList();

// The symbolic name of a window message, or nullptr when the table has none. The text is static
// and lives as long as the program.
const wchar_t* messageName(std::uint32_t id);

// For log lines: the name in ASCII, or the identifier as "0x004D" when the table has no name.
std::string messageDisplayName(std::uint32_t id);

// Number of distinct identifiers the table names.
std::size_t messageNameCount();

}  // namespace omvar::Vetrin
