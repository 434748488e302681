#pragma once

#include "records/FileDialog.h"

namespace ql {

// comFile on the system's open and save dialogs, over the program's active window.
// Both dialogs offer every file after the filter's own entries.
class QtFileDialog final : public FileDialog {
public:
    static inline const QString kOpenTitle = QStringLiteral("Open the data file to send");
    static inline const QString kSaveTitle = QStringLiteral("Save the received records as");

    void setFileName(const QString& fileName) override { m_fileName = fileName; }
    QString FileName() const override { return m_fileName; }
    void setFilter(const QString& filter) override { m_filter = filter; }
    void ShowOpen() override;
    void ShowSave() override;

private:
    QString m_fileName;
    QString m_filter;
};

// "Text files(*.txt)|*.txt|All files|*.*" (description, pattern, ...) in Qt's form,
// "Text files(*.txt);;All files (*.*)". Patterns separated by ";" become blanks.
QString qtNameFilters(const QString& commonDialogFilter);

} // namespace ql
