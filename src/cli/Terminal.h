#pragma once

namespace ql::cli {

// Whether standard error is a terminal that a person watches, rather than a log.
bool standardErrorIsTerminal();

} // namespace ql::cli
