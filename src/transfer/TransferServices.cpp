#include "transfer/TransferServices.h"

#include <chrono>
#include <thread>

namespace ql {

void WaitMilliseconds(qint16 ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace ql
