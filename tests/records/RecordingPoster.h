#pragma once

#include "eventlog/MessagePoster.h"

#include <QStringList>

namespace ql::test {

// Keeps every posting in order, as the event list would show it.
class RecordingPoster final : public MessagePoster {
public:
    void postMessage(const QString& text) override { m_messages.append(text); }
    QString lastMessage() const override { return m_messages.isEmpty() ? QString() : m_messages.last(); }
    void showStatus(const QString& text) override { m_statuses.append(text); }

    const QStringList& messages() const { return m_messages; }
    const QStringList& statuses() const { return m_statuses; }

private:
    QStringList m_messages;
    QStringList m_statuses;
};

} // namespace ql::test
