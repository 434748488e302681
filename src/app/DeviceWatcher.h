#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

namespace ql {

// Tells when devices may have come or gone, from changes in the directory that
// holds the device files. A burst of changes, such as a device file made and then
// given its owner and mode, is told once, after it has settled.
class DeviceWatcher final : public QObject {
    Q_OBJECT

public:
    static constexpr int kSettleMs = 700;

    explicit DeviceWatcher(const QString& directory = QStringLiteral("/dev"), QObject* parent = nullptr);

    // False where the directory does not exist or cannot be watched.
    bool watching() const { return !m_watcher.directories().isEmpty(); }

signals:
    void devicesChanged();

private:
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

} // namespace ql
