#pragma once

#include <QByteArray>
#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

namespace ql::test {

// Points the user's data folder at a fresh folder while it lives, so that the files
// the program keeps there are the test's to read and never the user's.
class DataFolderSandbox {
public:
    DataFolderSandbox() : m_hadHome(qEnvironmentVariableIsSet("HOME")), m_savedHome(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QStandardPaths::setTestModeEnabled(true);
    }
    ~DataFolderSandbox()
    {
        QStandardPaths::setTestModeEnabled(false);
        if (m_hadHome)
            qputenv("HOME", m_savedHome);
        else
            qunsetenv("HOME");
    }
    DataFolderSandbox(const DataFolderSandbox&) = delete;
    DataFolderSandbox& operator=(const DataFolderSandbox&) = delete;

    static QString folder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }
    static QStringList files() { return QDir(folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

private:
    QTemporaryDir m_home;
    bool m_hadHome;
    QByteArray m_savedHome;
};

} // namespace ql::test
