#pragma once
// Logging categories, one per area. Failures that the program survives are logged here at
// warning level; QT_LOGGING_RULES (e.g. "corvane.platform.debug=true") turns on more.
#include <QHash>
#include <QLoggingCategory>
#include <QString>

#include <mutex>

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(lcMonitors)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcNotify)
Q_DECLARE_LOGGING_CATEGORY(lcState)
Q_DECLARE_LOGGING_CATEGORY(lcUi)

// The system's message for an errno value (strerror_r, safe on any thread).
QString errnoMessage(int err);

// Says each failing cause once: when it starts (or its message changes) and when it clears,
// never once per sample. A cause is a short key (a path, an interface); the message says what
// failed, where, and why. Debug for what is simply absent on many machines (no battery, a
// sensor the board lacks), warning for what a user should know. Safe from any thread.
class FailureLog {
public:
    using Category = const QLoggingCategory &(*)();
    explicit FailureLog(Category category) : m_category(category) {}

    void absent(const QString &cause, const QString &message) { note(cause, message, QtDebugMsg); }
    void failed(const QString &cause, const QString &message) { note(cause, message, QtWarningMsg); }
    // `cause` works again; logged only if it had failed.
    void cleared(const QString &cause);
    bool isFailing(const QString &cause) const;

private:
    void note(const QString &cause, const QString &message, QtMsgType level);

    Category m_category;
    mutable std::mutex m_lock;
    struct Note {
        QString message;
        QtMsgType level;
    };
    QHash<QString, Note> m_failing;
};

} // namespace corvane
