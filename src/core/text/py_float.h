// Python's repr() of a float, which json.dumps also uses: the shortest digits that read back
// to the same double, in fixed notation for decimal exponents from -4 to 15 and in
// scientific notation otherwise ("1e+16", "1e-05", "0.0001", "100000.0").
#pragma once

#include <string>

namespace verbix {

// Appends the repr of a finite double; "nan", "inf" and "-inf" otherwise.
void append_py_float(std::string& out, double d);

}  // namespace verbix
