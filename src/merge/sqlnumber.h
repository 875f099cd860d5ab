#pragma once

#include "common/currency.h"

#include <QString>

namespace preisliste {

// A number as it is written into the text of an SQL statement, whatever the
// user's locale: a point as decimal separator, no grouping, a blank in front
// of a zero or positive number and "-" in front of a negative one, no 0 in
// front of the point below 1, no trailing zeros and no point for a whole
// number. " .05", " 1.1944625", " 0", "-.5".
QString SqlNumber(Currency value);      // at most four decimals, exact
QString SqlNumber(double value);        // at most 15 significant digits
                                        // throws std::invalid_argument for NaN and infinity

} // namespace preisliste
