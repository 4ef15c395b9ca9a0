#pragma once

#include "DataExchange.h"

#include <string>

namespace omvar::Vetrin {

// Number edits with a range, for the option pages. Loading writes the value; saving reads the
// edit and refuses an empty field, a text that is not a number and a number outside the range,
// each with a message that names the range (the page then stays, focus on the field). Full-width
// digits, point and minus, as an input method may type them, count as their ASCII forms.
void exchangeInt(ui::DataExchange& dx, int id, int& value, int minimum, int maximum);
// `digits`: the significant digits shown (a float value has about 6 that mean something).
void exchangeReal(ui::DataExchange& dx, int id, double& value, double minimum, double maximum,
                  int digits);

}  // namespace omvar::Vetrin
