#pragma once

#include <QString>

namespace ql {

// The common file dialog comFile: the window gives a real dialog, tests answer it.
class FileDialog {
public:
    virtual ~FileDialog() = default;

    virtual void setFileName(const QString& fileName) = 0;
    virtual QString FileName() const = 0;
    // A filter in the "Text files(*.txt)|*.txt" form.
    virtual void setFilter(const QString& filter) = 0;
    // Modal; a cancelled dialog leaves FileName empty.
    virtual void ShowOpen() = 0;
    virtual void ShowSave() = 0;
};

} // namespace ql
