#pragma once

#include <QStringView>

// The texts NumberText::plainDecimal gives for finite values, described
// without its code: "0", or an optional "-" and then
//   - a whole or fixed-point number with a nonzero first digit ("300",
//     "12.3456"), 15 digits at most, no zero at the end of a fraction;
//   - "0." with up to three zeros and the significant digits ("0.0012");
//   - d[.ddd]E+xx / E-xx for exponents from 15 and below -4 ("1E-05",
//     "9.99999E+99"), the exponent of at least two digits;
// with 15 significant digits at most. A read-out shows exactly these texts:
// the reply's sign in front of the magnitude's plain form.
bool isPlainDecimalForm(QStringView text);
