#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace omvar::Vetrin {

// Brings text into the form the code table knows: a to z upper-cased, hiragana to katakana,
// full-width forms to half-width (a voiced kana becomes the base kana followed by its mark).
// Text of any length is converted whole.
std::wstring normalizeCwText(std::wstring_view text);

// The pieces normalizeCwText converts one at a time: a few hundred characters each, never
// separating a voiced or semi-voiced mark from the kana before it, nor the halves of a
// surrogate pair.
std::vector<std::wstring_view> cwTextPieces(std::wstring_view text);

}  // namespace omvar::Vetrin
