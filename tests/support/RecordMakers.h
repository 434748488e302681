#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace ql::test {

// `count` records of `length` letters, each starting one letter on from the last.
QByteArrayList makeRecords(int count, int length);
// What the PC sends after the answer for these records: "@" between, "$" after the last.
QByteArray recordsOnWire(const QByteArrayList& records);
// Every byte from 0x80 to 0xFF, in order.
QByteArray allHighBytes();

} // namespace ql::test
