#pragma once

#include <QString>

namespace ql {

// The window's message channel as the core procedures see it.
class MessagePoster {
public:
    virtual ~MessagePoster() = default;

    // Posting a message: the caption of lblMsgMgr changes, and before this returns
    // the status line shows the text, the event list ends with it and the window
    // has been repainted.
    virtual void postMessage(const QString& text) = 0;

    // The caption of lblMsgMgr: the last posted message.
    virtual QString lastMessage() const = 0;

    // A transient text on lblStatus, repainted at once and never logged.
    virtual void showStatus(const QString& text) = 0;
};

} // namespace ql
