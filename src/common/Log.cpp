#include "common/Log.h"

#include <cstring>

namespace corvane {

Q_LOGGING_CATEGORY(lcMonitors, "corvane.monitors", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "corvane.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNotify, "corvane.notify", QtInfoMsg)
Q_LOGGING_CATEGORY(lcState, "corvane.state", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "corvane.ui", QtInfoMsg)

QString errnoMessage(int err)
{
    char buf[256];
    // GNU strerror_r returns the text, which need not be in buf.
    return QString::fromLocal8Bit(strerror_r(err, buf, sizeof buf)) + QStringLiteral(" (errno %1)").arg(err);
}

namespace {
void emitAt(const QLoggingCategory &category, QtMsgType level, const QString &text)
{
    const QMessageLogger logger;
    if (level == QtWarningMsg)
        logger.warning(category).noquote() << text;
    else
        logger.debug(category).noquote() << text;
}
} // namespace

void FailureLog::note(const QString &cause, const QString &message, QtMsgType level)
{
    {
        std::lock_guard lock(m_lock);
        auto it = m_failing.find(cause);
        if (it != m_failing.end() && it->message == message && it->level == level)
            return;
        m_failing.insert(cause, Note{message, level});
    }
    emitAt(m_category(), level, message);
}

void FailureLog::cleared(const QString &cause)
{
    QtMsgType level;
    {
        std::lock_guard lock(m_lock);
        auto it = m_failing.find(cause);
        if (it == m_failing.end())
            return;
        level = it->level;
        m_failing.erase(it);
    }
    emitAt(m_category(), level, cause + QStringLiteral(": available again"));
}

bool FailureLog::isFailing(const QString &cause) const
{
    std::lock_guard lock(m_lock);
    return m_failing.contains(cause);
}

} // namespace corvane
