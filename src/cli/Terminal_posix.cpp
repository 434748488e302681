#include "Terminal.h"

#include <unistd.h>

namespace ql::cli {

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace ql::cli
