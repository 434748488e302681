#include "common/SystemText.h"

#include <cstring>

namespace ql {

std::string systemText(int error)
{
    return std::strerror(error);
}

} // namespace ql
