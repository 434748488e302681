#include "LoadedWindowFixture.h"
#include "WindowContents.h"

#include "app/mdlMainModule.h"
#include "common/Failure.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <set>

namespace ql::test {
namespace {

using Op = FakeSerialControl::Op;

class FormLoad : public LoadedWindowTest {};

TEST_F(FormLoad, SetsTheCaptionTheTitleBandAndTheProtocolCharacters)
{
    load();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvalink 1.0.188.1"));
    // CR LF is one line break on the label: the caption stands on its second line.
    EXPECT_EQ(control<QLabel>("lblTitleBar")->text(), QStringLiteral("\n   Quorvalink 1.0.188.1"));
    const TransferState& state = window->transferState();
    EXPECT_EQ(state.strBeginChar, QStringLiteral("^"));
    EXPECT_EQ(state.strEndChar, QStringLiteral("$"));
    EXPECT_EQ(state.strSepChar, QStringLiteral("@"));
}

struct CommandLineCase {
    const char* argumentText;
    const char* pc2hhc;
    const char* hhc2pc;
};

void PrintTo(const CommandLineCase& c, std::ostream* out)
{
    *out << '"' << c.argumentText << '"';
}

class CommandLine : public LoadedWindowTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLine, GivesTheTwoPathsAsTypedAndPostsNothing)
{
    const CommandLineCase& c = GetParam();
    load(QString::fromLatin1(c.argumentText));
    const QString pc2hhc = QString::fromLatin1(c.pc2hhc);
    const QString hhc2pc = QString::fromLatin1(c.hhc2pc);

    EXPECT_EQ(window->transferState().strPc2HhcFile, pc2hhc);
    EXPECT_EQ(window->transferState().strHhc2PcFile, hhc2pc);
    auto* txtFile = control<QLineEdit>("txtFile");
    auto* cmbProcess = control<QComboBox>("cmbProcess");
    EXPECT_EQ(cmbProcess->currentIndex(), 0);
    EXPECT_EQ(txtFile->text(), pc2hhc);

    EXPECT_TRUE(rows(*control<QListView>("lstEvents")).isEmpty());
    EXPECT_EQ(control<QLabel>("lblStatus")->text(), QStringLiteral("Ready"));
    EXPECT_EQ(control<QLabel>("lblMsgMgr")->text(), QStringLiteral("?"));
    EXPECT_FALSE(serial->portOpen);

    cmbProcess->setFocus();
    QTest::keyClick(cmbProcess, Qt::Key_Down);
    EXPECT_EQ(cmbProcess->currentText(), QStringLiteral("HHC->PC"));
    EXPECT_EQ(txtFile->text(), hhc2pc);
}

INSTANTIATE_TEST_SUITE_P(
    ArgumentTexts, CommandLine,
    ::testing::Values(CommandLineCase {"send.txt#recv.txt", "send.txt", "recv.txt"},
                      CommandLineCase {"#recv.txt", "", "recv.txt"},
                      CommandLineCase {"a#b#c", "a", "b"},
                      CommandLineCase {"", "", ""},
                      CommandLineCase {"my dir/Data File.txt#x y.txt", "my dir/Data File.txt", "x y.txt"},
                      CommandLineCase {" send.txt #\"recv.txt\"", " send.txt ", "\"recv.txt\""},
                      CommandLineCase {"a#", "a", ""},
                      CommandLineCase {"#", "", ""}));

struct ArgumentsCase {
    QByteArrayList arguments;
    QString text;
    QStringList unusable;
};

void PrintTo(const ArgumentsCase& c, std::ostream* out)
{
    *out << '"' << c.arguments.mid(1).join(' ').toStdString() << '"';
}

class ArgumentText : public ::testing::TestWithParam<ArgumentsCase> {};

// The file named is the file used: a name no file here can carry is not replaced
// by a look-alike.
TEST_P(ArgumentText, JoinsTheArgumentsAfterTheProgramAndDecodesThemAsFileNames)
{
    const auto [text, unusable] = argumentText(GetParam().arguments);
    EXPECT_EQ(text, GetParam().text);
    EXPECT_EQ(unusable, GetParam().unusable);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ArgumentText,
    ::testing::Values(ArgumentsCase {{"quorvalink"}, QString(), {}},
                      ArgumentsCase {{"quorvalink", "send.txt#recv.txt"}, QStringLiteral("send.txt#recv.txt"), {}},
                      ArgumentsCase {{"quorvalink", "my", "dir/Data File.txt#x", "y.txt"},
                                     QStringLiteral("my dir/Data File.txt#x y.txt"), {}},
                      ArgumentsCase {{"quorvalink", "", "#b"}, QStringLiteral(" #b"), {}},
                      ArgumentsCase {{"quorvalink", "d\xc3\xa9j\xc3\xa0.txt#\xe2\x82\xac"}, QStringLiteral(u"déjà.txt#€"), {}},
                      ArgumentsCase {{"quorvalink", "o\xffx.txt#recv.txt"}, QStringLiteral("#recv.txt"),
                                     {QStringLiteral(u"o\uFFFDx.txt")}},
                      ArgumentsCase {{"quorvalink", "send.txt#\xc3("}, QStringLiteral("send.txt#"),
                                     {QStringLiteral(u"\uFFFD(")}}));

// Ports open only where the set says; selecting a number in `unselectable` fails.
void scriptPorts(FakeSerialControl& serial, std::set<int> openable, std::set<int> unselectable)
{
    serial.onCall = [&serial, openable, unselectable](const FakeSerialControl::Call& call) {
        if (call.op == Op::SetCommPort && unselectable.count(call.value.toInt()))
            throw Failure(22, QStringLiteral("no such port number"));
        if (call.op == Op::SetPortOpen && call.value == QLatin1String("true") && !openable.count(serial.commPort))
            throw Failure(2, QStringLiteral("cannot open"));
    };
}

TEST_F(FormLoad, ProbeListsOnlyTheNumbersWhosePortsOpenedAndClosesEach)
{
    auto control = std::make_unique<FakeSerialControl>();
    FakeSerialControl& fake = *control;
    // Selecting 13 fails while 12, which opens, is still selected: 13 must not be listed.
    scriptPorts(fake, {2, 12, 40, 99}, {13});
    frmMainWin loaded(std::move(control), std::make_unique<ScriptedFileDialog>());
    loaded.Form_Load();

    auto* cmbPort = loaded.findChild<QComboBox*>(QStringLiteral("cmbPort"));
    ASSERT_NE(cmbPort, nullptr);
    EXPECT_EQ(entries(*cmbPort), (QStringList {"2", "12", "40", "99"}));
    EXPECT_EQ(cmbPort->currentIndex(), 0);
    EXPECT_EQ(cmbPort->currentText(), QStringLiteral("2"));
    EXPECT_FALSE(fake.portOpen);

    int selections = 0;
    int opens = 0;
    int closes = 0;
    for (const auto& call : fake.calls) {
        selections += call.op == Op::SetCommPort;
        opens += call.op == Op::SetPortOpen && call.value == QLatin1String("true");
        closes += call.op == Op::SetPortOpen && call.value == QLatin1String("false");
    }
    EXPECT_EQ(selections, 99);
    EXPECT_EQ(opens, 98);
    EXPECT_EQ(closes, 4);
}

TEST_F(FormLoad, ProbeFindingNoPortLeavesTheListEmptyWithNothingSelected)
{
    auto control = std::make_unique<FakeSerialControl>();
    scriptPorts(*control, {}, {});
    frmMainWin loaded(std::move(control), std::make_unique<ScriptedFileDialog>());
    loaded.Form_Load();

    auto* cmbPort = loaded.findChild<QComboBox*>(QStringLiteral("cmbPort"));
    ASSERT_NE(cmbPort, nullptr);
    EXPECT_EQ(cmbPort->count(), 0);
    EXPECT_EQ(cmbPort->currentIndex(), -1);
    EXPECT_EQ(cmbPort->currentText(), QString());
}

} // namespace
} // namespace ql::test
