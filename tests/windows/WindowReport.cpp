// The window program, reporting on standard output what an observer outside the
// process cannot read under Wine, where the controls are no windows of their own:
// where each named control stands, each event as it is posted, the event list
// emptied, and each time the Start button comes back at the end of a run. scripts/test-windows runs it on both
// systems and compares the reports.
#include "app/mdlMainModule.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QListView>
#include <QTimer>

#include <cstdio>
#include <map>

namespace {

void report(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

class StartWatch final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            report(QStringLiteral("start shown"));
        return QObject::eventFilter(watched, event);
    }
};

void reportWindow(QWidget& window)
{
    report(QStringLiteral("window %1 %2").arg(window.width()).arg(window.height()));
    std::map<QString, QString> controls;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        const QPoint at = control->mapTo(&window, QPoint());
        controls[name] = QStringLiteral("control %1 %2 %3 %4 %5 %6")
                             .arg(name)
                             .arg(at.x())
                             .arg(at.y())
                             .arg(control->width())
                             .arg(control->height())
                             .arg(control->isVisibleTo(&window) ? QStringLiteral("shown") : QStringLiteral("hidden"));
    }
    for (const auto& [name, line] : controls)
        report(line);

    const QAbstractItemModel* events = window.findChild<QListView*>(QStringLiteral("lstEvents"))->model();
    QObject::connect(events, &QAbstractItemModel::dataChanged, events,
                     [events](const QModelIndex& first, const QModelIndex& last) {
                         for (int row = first.row(); row <= last.row(); ++row)
                             report(QStringLiteral("event ") + events->index(row, 0).data().toString());
                     });
    QObject::connect(events, &QAbstractItemModel::modelReset, events, [] { report(QStringLiteral("events cleared")); });
    window.findChild<QWidget*>(QStringLiteral("PicStart"))->installEventFilter(new StartWatch(&window));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Runs once the module has shown the window and entered the event loop.
    QTimer::singleShot(0, &app, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("frmMainWin"))
                reportWindow(*window);
        }
    });
    QByteArrayList arguments;
    for (int k = 0; k < argc; ++k)
        arguments.append(QByteArray(argv[k]));
    return ql::Main(arguments);
}
