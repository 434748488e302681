#pragma once

#include <QString>

#include <exception>
#include <string>

namespace ql {

// The one error type of the program: a number, a source and a description, raised
// at the failing step and caught by the one procedure that reports it.
class Failure : public std::exception {
public:
    // The number the program's own procedures raise.
    static constexpr int kProgramError = 12345;
    // The number of a 16-bit count or index leaving its range.
    static constexpr int kOverflow = 6;

    Failure(int number, QString description, QString source = {});

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const QString& source() const noexcept { return m_source; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number = 0;
    QString m_description;
    QString m_source;
    std::string m_what;
};

// The failure of a count or a size going past what the program can hold.
[[noreturn]] void failOverflow();

// Narrows a count to the 16-bit range the program's counters have, or fails with
// the overflow description.
qint16 checkedInt16(long long value);

// Adds one to a 16-bit counter, failing rather than wrapping past 32767.
qint16 incrementInt16(qint16 value);

} // namespace ql
