#pragma once

#include "watch/WatchOptions.h"

namespace ql::watch {

// The exit statuses of a watch.
inline constexpr int kWatchSaved = 0;    // every record received was written somewhere
inline constexpr int kWatchUnusable = 3; // the folder or journal refused, or a record written nowhere

// Receives from every watched port into the folder until SIGINT or SIGTERM; a
// hang-up opens the journal again.
int runWatch(const WatchOptions& options);

} // namespace ql::watch
