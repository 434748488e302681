#include "Terminal.h"

#include <cstdio>
#include <io.h>

namespace ql::cli {

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace ql::cli
