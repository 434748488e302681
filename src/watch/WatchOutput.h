#pragma once

#include <QString>

#include <mutex>

namespace ql::watch {

// The lines every port's watcher writes: one per event, the time then the port.
// Events go to standard output unless quiet; problems go there too, or to standard
// error when quiet, so that a lost record is never told to nobody.
class WatchOutput {
public:
    explicit WatchOutput(bool quiet) : m_quiet(quiet) {}

    void event(const QString& port, const QString& text);
    void problem(const QString& port, const QString& text);

private:
    void print(bool toError, const QString& port, const QString& text);

    bool m_quiet;
    std::mutex m_mutex;
};

} // namespace ql::watch
