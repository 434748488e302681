#include "TransferWindowFixture.h"

#include "records/RecordList.h"
#include "serial/PortMap.h"
#include "serial/SystemSerialControl.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>

namespace ql::test {

namespace {

constexpr int kPollMs = 2;
// Far beyond any run of these tests; only a transfer that never gets there meets it.
constexpr qint64 kRunBoundMs = 20000;

} // namespace

void TransferWindowTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_link = m_dir.filePath(QStringLiteral("hhc"));
    QProcessEnvironment environment;
    environment.insert(PortMap::variableName(1), m_link);
    auto dialog = std::make_unique<ScriptedFileDialog>();
    m_comFile = dialog.get();
    m_window = std::make_unique<frmMainWin>(std::make_unique<SystemSerialControl>(PortMap::fromRule(environment, {})),
                                            std::move(dialog));
    m_window->Form_Load();
    // The handshake goes on without an answer once no window is open.
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    setPortText(QStringLiteral("1"));
}

void TransferWindowTest::TearDown()
{
    m_window.reset();
    m_device.reset();
}

DeviceThread& TransferWindowTest::startDevice(hhcsim::DeviceOptions options)
{
    m_device.reset();
    options.linkPath = m_link;
    m_device = std::make_unique<DeviceThread>(std::move(options));
    return *m_device;
}

void TransferWindowTest::choosePcToHhc(const QString& path)
{
    m_window->transferState().strPc2HhcFile = path;
    m_window->setProcessIndex(0);
}

void TransferWindowTest::chooseHhcToPc(const QString& path)
{
    m_window->transferState().strHhc2PcFile = path;
    m_window->setProcessIndex(1);
}

void TransferWindowTest::setPortText(const QString& text)
{
    control<QComboBox>("cmbPort")->setEditText(text);
}

void TransferWindowTest::setFileText(const QString& text)
{
    control<QLineEdit>("txtFile")->setText(text);
}

void TransferWindowTest::setProcessText(const QString& text)
{
    control<QComboBox>("cmbProcess")->setEditText(text);
}

void TransferWindowTest::browse(const QString& path)
{
    m_comFile->answer = path;
    QTest::mouseClick(control("cmdBrowse"), Qt::LeftButton);
}

void TransferWindowTest::start()
{
    ASSERT_TRUE(control("PicStart")->isVisible());
    QTest::mouseClick(control("PicStart"), Qt::LeftButton);
    EXPECT_TRUE(control("PicStart")->isVisible());
    EXPECT_FALSE(control("PicAbort")->isVisible());
}

void TransferWindowTest::abort()
{
    EXPECT_TRUE(control("PicAbort")->isVisible());
    EXPECT_FALSE(control("PicStart")->isVisible());
    QTest::mouseClick(control("PicAbort"), Qt::LeftButton);
}

void TransferWindowTest::whileRunning(std::function<bool()> due, std::function<void()> action)
{
    auto* timer = new QTimer(m_window.get());
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, elapsed, due = std::move(due),
                                                      action = std::move(action)] {
        if (due()) {
            timer->stop();
            action();
        } else if (elapsed->elapsed() > kRunBoundMs) {
            timer->stop();
            ADD_FAILURE() << "the run never got to the point of the action; aborted";
            abort();
        }
    });
    timer->start(kPollMs);
}

QStringList TransferWindowTest::events() const
{
    const QAbstractItemModel* model = control<QListView>("lstEvents")->model();
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row)
        out.append(model->index(row, 0).data().toString());
    return out;
}

QString TransferWindowTest::status() const
{
    return control<QLabel>("lblStatus")->text();
}

QByteArrayList TransferWindowTest::records() const
{
    return toBytes(m_window->records().records());
}

hhcsim::DeviceEvent TransferWindowTest::lastSession()
{
    EXPECT_TRUE(m_device->waitForEvents(hhcsim::DeviceEvent::Kind::SessionEnded));
    const auto ended = m_device->eventsOf(hhcsim::DeviceEvent::Kind::SessionEnded);
    return ended.empty() ? hhcsim::DeviceEvent {} : ended.back();
}

QString latin1(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArrayList toBytes(const QStringList& texts)
{
    QByteArrayList out;
    out.reserve(texts.size());
    for (const QString& text : texts)
        out.append(text.toLatin1());
    return out;
}

QByteArrayList numberedRecords(int count, int length)
{
    QByteArrayList out;
    out.reserve(count);
    for (int k = 1; k <= count; ++k)
        out.append(QByteArrayLiteral("record ").append(QByteArray::number(k).rightJustified(5, '0')).leftJustified(length, '.'));
    return out;
}

} // namespace ql::test
