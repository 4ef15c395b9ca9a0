#pragma once

#include "AppSettings.h"
#include "HamlogIds.h"
#include "InfoForMacroExpansion.h"
#include "SendElement.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace omvar::Vetrin {

// Replaces every occurrence of pattern, searching on after each inserted replacement (so a
// replacement that contains the pattern is not replaced again). An empty pattern changes nothing.
std::wstring replaceAll(std::wstring text, std::wstring_view pattern,
                        std::wstring_view replacement);

// Every "0" by replace0, then every "1" by replace1, then every "9" by replace9: a replacement
// holding a later digit is itself replaced by the later pass.
std::wstring replaceDigits(std::wstring text, const AppSettings& settings);

// Reads the text of one of HAMLOG's log-window controls; empty when the control is not there,
// nothing when HAMLOG did not answer.
using ControlTextReader = std::function<std::optional<std::wstring>(HamlogControlId)>;

// The macro context from the settings and HAMLOG's call, name and report fields, read now (the
// fields asked for; the others read as empty). An empty report field counts as "599". A field
// HAMLOG did not answer for is marked missing.
InfoForMacroExpansion fillInfoForMacroExpansion(const AppSettings& settings,
                                                const ControlTextReader& readControlText,
                                                MacroFields fields = {});

// The fields the macros expanded as a normalised text is queued take: the call field for "$C".
// "$R" and "$A" are read when they are keyed.
MacroFields fieldsForImmediateMacros(std::wstring_view text);
// The field a late macro takes: the report field for "$R", the name field for "$A".
MacroFields fieldsForLateMacro(std::wstring_view macro);

// The field a macro takes when HAMLOG did not answer for it in this context; nothing for the
// macros that take no field or whose field was read.
std::optional<HamlogControlId> missingFieldOf(std::wstring_view macro,
                                              const InfoForMacroExpansion& info);
// The field's name as log lines give it ("call", "name", "report").
const char* fieldName(HamlogControlId id);

// Value of the macro named by element.text; empty for anything that is not a macro. "$G" uses
// the element's time stamp in local time and throws std::runtime_error("Error getting local
// time") when that time cannot be converted.
std::wstring macroValue(const SendElement& element, const InfoForMacroExpansion& info);

// Replaces "$C", "$M", "$G" and "$N", in that order, by their values; "$G" is taken at timeStamp.
// A value holding a name later in that order is expanded again, one holding an earlier name is
// left as text.
std::wstring expandImmediateMacros(std::wstring text, const InfoForMacroExpansion& info,
                                   std::int64_t timeStamp);

// Cuts normalised text into elements: "$R" and "$A" as deferred macros, the prosigns "[AR]",
// "[KN]", "[VA]", "[BK]", "[ﾎﾚ]" and "[ﾗﾀ]", everything else one character each (a surrogate
// pair is one character). Offsets and indexes are left for the queue to set.
std::vector<SendElement> tokenizeCwText(std::wstring_view text, std::int64_t timeStamp);

// One character element per character of text (a surrogate pair is one character), each with its
// code from the code table, 0 when the table has none.
std::vector<SendElement> makeCharacterElements(std::wstring_view text, std::int64_t timeStamp,
                                               bool displayOnly);

}  // namespace omvar::Vetrin
