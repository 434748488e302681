#pragma once

#include "support/EnvironmentGuard.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

namespace ql::test {

// Points the user's data folder at a fresh folder while it lives, so that the files
// the program keeps there are the test's to read and never the user's.
class DataFolderSandbox {
public:
    DataFolderSandbox() { QStandardPaths::setTestModeEnabled(true); }
    ~DataFolderSandbox() { QStandardPaths::setTestModeEnabled(false); }
    DataFolderSandbox(const DataFolderSandbox&) = delete;
    DataFolderSandbox& operator=(const DataFolderSandbox&) = delete;

    static QString folder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }
    static QStringList files() { return QDir(folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

private:
    QTemporaryDir m_home;
    EnvironmentGuard m_homeVariable {"HOME", QFile::encodeName(m_home.path())};
};

} // namespace ql::test
