#include "app/BrowseCommand.h"

#include "eventlog/Messages.h"
#include "records/RecordList.h"
#include "records/RecordingPoster.h"
#include "support/Files.h"
#include "support/ScriptedFileDialog.h"
#include "transfer/TransferState.h"

#include <QFile>
#include <QOperatingSystemVersion>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ql {
namespace {

using test::ScriptedFileDialog;

// Where file names ignore case the chosen path is shown in upper case; elsewhere
// it must stay as chosen, or it would name another file.
QString expectedShown(const QString& chosen)
{
    const bool ignoresCase = QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
    return ignoresCase ? chosen.toUpper() : chosen;
}

class BrowseCommandTest : public ::testing::Test {
protected:
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        test::writeFile(path, bytes);
        return path;
    }

    QString browse(ScriptedFileDialog& dialog, const QString& process)
    {
        return BrowseForDataFile(dialog, process, m_state, m_poster, m_list);
    }

    QTemporaryDir m_dir;
    TransferState m_state;
    test::RecordingPoster m_poster;
    RecordList m_list;
};

TEST_F(BrowseCommandTest, OpenLoadsTheChosenFileAndRemembersIt)
{
    const QString chosen = writeFile("Mixed Case.Txt", "one\r\ntwo\r\n");
    m_state.strHhc2PcFile = QStringLiteral("other direction");
    ScriptedFileDialog dialog(chosen);

    EXPECT_EQ(browse(dialog, kPcToHhc), expectedShown(chosen));

    EXPECT_EQ(dialog.shown(), QStringList {"open"});
    EXPECT_EQ(dialog.nameWhenShown(), QString());
    EXPECT_EQ(dialog.filter(), "Text files(*.txt)|*.txt");
    EXPECT_EQ(m_state.strPc2HhcFile, expectedShown(chosen));
    EXPECT_EQ(m_state.strHhc2PcFile, "other direction");
    EXPECT_EQ(m_list.records(), (QStringList {"one", "two"}));
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(2)}));
}

TEST_F(BrowseCommandTest, LowerCasePathIsKeptAsChosen)
{
    const QString chosen = writeFile("lower.txt", "x");
    ScriptedFileDialog dialog(chosen);
    EXPECT_EQ(browse(dialog, kPcToHhc), expectedShown(chosen));
    EXPECT_EQ(m_list.records(), QStringList {"x"});
}

TEST_F(BrowseCommandTest, CancelledOpenReloadsTheRememberedFile)
{
    m_state.strPc2HhcFile = writeFile("remembered.txt", "kept\r\n");
    m_list.assign({"stale"});
    ScriptedFileDialog dialog {QString()};

    EXPECT_EQ(browse(dialog, kPcToHhc), m_state.strPc2HhcFile);
    EXPECT_EQ(m_list.records(), QStringList {"kept"});
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(1)}));
}

TEST_F(BrowseCommandTest, CancelledOpenWithNothingRememberedEmptiesTheList)
{
    m_list.assign({"stale"});
    ScriptedFileDialog dialog {QString()};

    EXPECT_EQ(browse(dialog, kPcToHhc), QString());
    EXPECT_EQ(m_state.strPc2HhcFile, QString());
    EXPECT_EQ(m_list.count(), 0);
    EXPECT_EQ(m_poster.messages(), (QStringList {msg::kOpeningFile, msg::foundRecords(0)}));
}

TEST_F(BrowseCommandTest, SaveChoosesTheNameWithoutTouchingAnyFile)
{
    const QString existing = writeFile("Received.txt", "before\r\n");
    const QString fresh = m_dir.filePath("New.txt");
    m_state.strPc2HhcFile = QStringLiteral("open direction");
    m_list.assign({"received"});

    ScriptedFileDialog overExisting(existing);
    EXPECT_EQ(browse(overExisting, kHhcToPc), expectedShown(existing));
    ScriptedFileDialog overFresh(fresh);
    EXPECT_EQ(browse(overFresh, kHhcToPc), expectedShown(fresh));

    EXPECT_EQ(overFresh.shown(), QStringList {"save"});
    EXPECT_EQ(overFresh.nameWhenShown(), QString());
    EXPECT_EQ(overFresh.filter(), "Text files(*.txt)|*.txt");
    EXPECT_EQ(m_state.strHhc2PcFile, expectedShown(fresh));
    EXPECT_EQ(m_state.strPc2HhcFile, "open direction");
    EXPECT_EQ(m_list.records(), QStringList {"received"});
    EXPECT_TRUE(m_poster.messages().isEmpty());
    EXPECT_FALSE(QFile::exists(fresh));
    EXPECT_EQ(test::readFile(existing), "before\r\n");
}

TEST_F(BrowseCommandTest, CancelledSaveRestoresTheRememberedName)
{
    m_state.strHhc2PcFile = QStringLiteral("/somewhere/Received.txt");
    m_list.assign({"received"});
    ScriptedFileDialog dialog {QString()};

    EXPECT_EQ(browse(dialog, kHhcToPc), "/somewhere/Received.txt");
    EXPECT_EQ(m_state.strHhc2PcFile, "/somewhere/Received.txt");
    EXPECT_EQ(m_list.records(), QStringList {"received"});
    EXPECT_TRUE(m_poster.messages().isEmpty());
}

struct ProcessCase {
    const char* process;
    const char* dialog;
};

class BrowseDialogKindTest : public BrowseCommandTest, public ::testing::WithParamInterface<ProcessCase> {};

TEST_P(BrowseDialogKindTest, OnlyTheExactHhcToPcTextSaves)
{
    ScriptedFileDialog dialog {QString()};
    browse(dialog, QString::fromLatin1(GetParam().process));
    EXPECT_EQ(dialog.shown(), QStringList {QString::fromLatin1(GetParam().dialog)});
}

INSTANTIATE_TEST_SUITE_P(Processes, BrowseDialogKindTest,
                         ::testing::Values(ProcessCase {"HHC->PC", "save"}, ProcessCase {"PC->HHC", "open"},
                                           ProcessCase {"hhc->pc", "open"}, ProcessCase {"HHC->PC ", "open"},
                                           ProcessCase {"", "open"}));

} // namespace
} // namespace ql
