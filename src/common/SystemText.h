#pragma once

#include <string>

namespace ql {

// The system's own text for one of its error numbers (errno, or GetLastError on
// Windows), in UTF-8, without a line end.
std::string systemText(int error);

} // namespace ql
