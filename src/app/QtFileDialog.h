#pragma once

#include "records/FileDialog.h"

namespace ql {

class QtFileDialog final : public FileDialog {
public:
    void setFileName(const QString& fileName) override { m_fileName = fileName; }
    QString FileName() const override { return m_fileName; }
    void setFilter(const QString& filter) override { m_filter = filter; }
    void ShowOpen() override;
    void ShowSave() override;

private:
    QString m_fileName;
    QString m_filter;
};

} // namespace ql
