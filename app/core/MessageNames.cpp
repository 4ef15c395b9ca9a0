#include "MessageNames.h"

#include <fmt/format.h>

#include <map>

namespace omvar::Vetrin {

namespace {

using NameTable = std::map<std::uint32_t, const wchar_t*>;

NameTable fill() {
    NameTable table;
    for (const MessageNameEntry& entry : messageNameList()) {
        // The list is sorted, so a new identifier belongs at the end; an identifier already
        // present keeps its first name (emplace_hint does not replace).
        table.emplace_hint(table.end(), entry.id, entry.name);
    }
    return table;
}

// Filled before main() runs; only read afterwards. It lives in this file, beside the lookup, so
// that linking the lookup always brings the table (and through it the list) along.
const NameTable kTable = fill();

}  // namespace

std::span<const MessageNameEntry> messageNameList() {
    return {kMessageNameList, kMessageNameListSize};
}

const wchar_t* messageName(std::uint32_t id) {
    const auto found = kTable.find(id);
    return found == kTable.end() ? nullptr : found->second;
}

std::string messageDisplayName(std::uint32_t id) {
    const wchar_t* name = messageName(id);
    if (name == nullptr) {
        return fmt::format("0x{:04X}", id);
    }
    std::string text;
    for (const wchar_t* c = name; *c != L'\0'; ++c) {
        // Message names are C identifiers, so plain ASCII.
        text.push_back(static_cast<char>(*c));
    }
    return text;
}

std::size_t messageNameCount() {
    return kTable.size();
}

}  // namespace omvar::Vetrin
