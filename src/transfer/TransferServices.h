#pragma once

#include <QtGlobal>

namespace ql {

// Suspends the calling thread without handling window events; a negative count
// does not sleep at all.
void WaitMilliseconds(qint16 ms);

} // namespace ql
