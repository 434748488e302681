#include "app/BrowseCommand.h"

#include "records/FileDialog.h"
#include "records/RecordFiles.h"
#include "transfer/TransferState.h"

#include <QOperatingSystemVersion>

namespace ql {
namespace {

const QString kTextFilter = QStringLiteral("Text files(*.txt)|*.txt");

// Upper case is only safe where the file system ignores case; elsewhere the
// upper-cased path would name a different file, or none.
QString shownPath(const QString& chosen)
{
    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows)
        return chosen.toUpper();
    return chosen;
}

} // namespace

QString BrowseForDataFile(FileDialog& comFile, const QString& processText, TransferState& state,
                          MessagePoster& poster, RecordList& lstRecords)
{
    const bool saving = processText == kHhcToPc;
    QString& remembered = saving ? state.strHhc2PcFile : state.strPc2HhcFile;

    comFile.setFileName({});
    comFile.setFilter(kTextFilter);
    if (saving)
        comFile.ShowSave();
    else
        comFile.ShowOpen();

    QString txtFile = shownPath(comFile.FileName());
    if (txtFile.isEmpty())
        txtFile = remembered;
    else
        remembered = txtFile;

    // Loading after a cancel too, so that cancelling reloads the remembered file.
    if (!saving)
        LoadRecordsFile(poster, lstRecords, txtFile);
    return txtFile;
}

} // namespace ql
