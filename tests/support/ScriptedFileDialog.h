#pragma once

#include "records/FileDialog.h"

#include <QString>
#include <QStringList>

#include <utility>

namespace ql::test {

// The common file dialog in tests: every dialog shown answers with `answer` (an
// empty answer is a cancel) and is noted, with the file name it was shown with.
class ScriptedFileDialog final : public FileDialog {
public:
    ScriptedFileDialog() = default;
    explicit ScriptedFileDialog(QString answerWith) : answer(std::move(answerWith)) {}

    QString answer;

    void setFileName(const QString& fileName) override { m_fileName = fileName; }
    QString FileName() const override { return m_fileName; }
    void setFilter(const QString& filter) override { m_filter = filter; }
    void ShowOpen() override { show(QStringLiteral("open")); }
    void ShowSave() override { show(QStringLiteral("save")); }

    const QString& filter() const { return m_filter; }
    // "open" or "save" for each dialog shown, in order.
    const QStringList& shown() const { return m_shown; }
    const QString& nameWhenShown() const { return m_nameWhenShown; }
    qsizetype opensShown() const { return m_shown.count(QStringLiteral("open")); }
    qsizetype savesShown() const { return m_shown.count(QStringLiteral("save")); }

private:
    void show(const QString& kind)
    {
        m_shown.append(kind);
        m_nameWhenShown = m_fileName;
        m_fileName = answer;
    }

    // A name left from an earlier choice, which each command must clear first.
    QString m_fileName = QStringLiteral("left over from the last choice");
    QString m_filter;
    QStringList m_shown;
    QString m_nameWhenShown;
};

} // namespace ql::test
