#include "common/Failure.h"

#include <limits>

namespace ql {

namespace {
const char kOverflowText[] = "Overflow";
}

Failure::Failure(int number, QString description, QString source)
    : m_number(number),
      m_description(std::move(description)),
      m_source(std::move(source)),
      m_what(m_description.toStdString())
{
}

void failOverflow()
{
    throw Failure(Failure::kOverflow, QString::fromLatin1(kOverflowText));
}

qint16 checkedInt16(long long value)
{
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        failOverflow();
    return static_cast<qint16>(value);
}

qint16 incrementInt16(qint16 value)
{
    return checkedInt16(static_cast<long long>(value) + 1);
}

} // namespace ql
