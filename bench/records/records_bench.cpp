// Loading and saving a full data file, 32767 records of 80 characters, through the
// window's records list with the records view shown, against `cat` of the same file.

#include "Measure.h"
#include "app/frmMainWin.h"
#include "hhcsim/DataFile.h"
#include "records/RecordFiles.h"
#include "records/RecordList.h"
#include "support/RecordMakers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using ql::bench::Clock;
using ql::bench::seconds;
using ql::bench::peakKb;

constexpr int kRecords = 32767;
constexpr int kRecordLength = 80;
constexpr double kTargetSeconds = 0.3;
constexpr long kTargetPeakKb = 60 * 1024;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double catSeconds(const QString& path)
{
    const QByteArray command = "cat '" + QFile::encodeName(path) + "' > /dev/null";
    const auto start = Clock::now();
    if (std::system(command.constData()) != 0)
        std::fprintf(stderr, "cat failed\n");
    return seconds(Clock::now() - start);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // records_bench [runs]
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("records.txt"));
    const QString output = dir.filePath(QStringLiteral("saved.txt"));
    const QByteArrayList records = ql::test::makeRecords(kRecords, kRecordLength);
    const QByteArray bytes = ql::hhcsim::formatDataFile(records);
    QString error;
    if (!ql::hhcsim::writeDataFile(input, records, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    ql::frmMainWin window;
    window.Form_Load();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was not exposed\n");
    window.SwitchListView(QStringLiteral("F"));
    auto* view = window.findChild<QListView*>(QStringLiteral("lstRecords"));

    std::vector<double> loads;
    std::vector<double> saves;
    std::vector<double> cats;
    bool exact = true;
    for (int run = 1; run <= runs; ++run) {
        // An empty list first, so that every load fills the view from nothing.
        window.records().clear();
        QCoreApplication::processEvents();

        const auto loadStart = Clock::now();
        ql::LoadRecordsFile(window, window.records(), input);
        // The view lays out its rows when it next handles events; its scroll range shows it did.
        QElapsedTimer bound;
        bound.start();
        do {
            QCoreApplication::processEvents();
        } while (view->verticalScrollBar()->maximum() == 0 && bound.elapsed() < 5000);
        view->viewport()->repaint();
        loads.push_back(seconds(Clock::now() - loadStart));

        const auto saveStart = Clock::now();
        const bool saved = ql::SaveRecordsFile(window, window.records(), output).written;
        saves.push_back(seconds(Clock::now() - saveStart));

        QFile written(output);
        exact = exact && saved && window.records().count() == kRecords && written.open(QIODevice::ReadOnly)
                && written.readAll() == bytes;
        cats.push_back(catSeconds(input));
        std::printf("run %d: load + view %.3f s, save %.3f s, cat %.3f s\n", run, loads.back(), saves.back(),
                    cats.back());
    }

    const double load = median(loads);
    const double save = median(saves);
    const double floor = median(cats);
    const long peak = peakKb();
    std::printf("%d records of %d characters, %lld bytes; median of %d runs\n", kRecords, kRecordLength,
                static_cast<long long>(bytes.size()), runs);
    std::printf("load, records view laid out: %.3f s  (%.1f x cat; target under %.1f s)\n", load, load / floor,
                kTargetSeconds);
    std::printf("save:                        %.3f s  (%.1f x cat; target under %.1f s)\n", save, save / floor,
                kTargetSeconds);
    std::printf("cat FILE > /dev/null:        %.3f s\n", floor);
    std::printf("peak memory (ru_maxrss): %.1f MB  (target under %ld MB)\n", peak / 1024.0, kTargetPeakKb / 1024);
    std::printf("saved file %s the loaded one\n", exact ? "equals" : "DIFFERS FROM");
    const bool met = exact && load < kTargetSeconds && save < kTargetSeconds && peak < kTargetPeakKb;
    std::printf("%s\n", met ? "targets met" : "targets NOT met");
    return met ? 0 : 2;
}
