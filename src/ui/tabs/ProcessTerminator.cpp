#include "ui/tabs/ProcessTerminator.h"

#include "platform/Haptics.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace corvane {

ProcessTerminator::ProcessTerminator(QObject *parent)
    : ProcessTerminator(makeLinuxProcessSignals(), QCoreApplication::applicationPid(), parent)
{
}

ProcessTerminator::ProcessTerminator(std::unique_ptr<ProcessSignals> signals_, qint64 ownPid, QObject *parent)
    : QObject(parent), m_signals(std::move(signals_)), m_ownPid(ownPid)
{
    m_watchTimer.setInterval(100);
    connect(&m_watchTimer, &QTimer::timeout, this, &ProcessTerminator::pollWatches);
}

ProcessTerminator::~ProcessTerminator() = default;

void ProcessTerminator::setHeld(std::unique_ptr<HeldProcess> held, int pid)
{
    m_held = std::move(held);
    if (m_heldPid != pid) {
        m_heldPid = pid;
        emit heldPidChanged();
    }
}

QString ProcessTerminator::hold(const QString &name, int pid, quint64 startTime)
{
    m_held.reset();
    m_heldStart = startTime;
    // Pid 0, 1 and our own are refused at terminate(); nothing to hold for them.
    if (pid <= 1 || pid == m_ownPid) {
        setHeld(nullptr, pid);
        return {};
    }
    auto held = m_signals->hold(pid, startTime);
    // The row outlived its process (and the pid may have gone to another): nothing to ask.
    if (const int err = held->check(); err == kProcessReplaced || err == ESRCH) {
        release();
        return err == ESRCH ? endedText(name, pid) : replacedText(name, pid);
    }
    setHeld(std::move(held), pid);
    return {};
}

void ProcessTerminator::release() { setHeld(nullptr, 0); }

QString ProcessTerminator::terminate(const QString &name, int pid, quint64 startTime, bool force)
{
    Haptics::shared()->perform(Haptics::LevelChange);
    if (pid <= 1) {
        release();
        return systemProcessText(name, pid);
    }
    if (pid == m_ownPid) {
        release();
        return ownProcessText(name, pid);
    }
    std::unique_ptr<HeldProcess> held =
        m_held && m_heldPid == pid && m_heldStart == startTime ? std::move(m_held) : m_signals->hold(pid, startTime);
    release();
    const int signal = force ? SIGKILL : SIGTERM;
    // Checks the start time once more right before the signal goes out.
    const int err = held->send(signal);
    if (err == kProcessReplaced)
        return replacedText(name, pid);
    if (err == ESRCH)
        return endedText(name, pid);
    if (err != 0)
        return refusalText(name, pid, err);
    // Delivered is not ended: an ignored SIGTERM is dropped by the kernel, and a handled one
    // may leave the process running.
    if (!force && held->ignores(SIGTERM))
        return ignoredText(name, pid);
    if (held->running()) {
        m_watches.push_back({std::move(held), name, pid, force, std::max(1, m_graceMs / m_watchTimer.interval())});
        m_watchTimer.start();
    }
    return {};
}

void ProcessTerminator::pollWatches()
{
    for (auto it = m_watches.begin(); it != m_watches.end();) {
        if (!it->process->running()) {
            it = m_watches.erase(it);
        } else if (--it->checksLeft <= 0) {
            const QString message = stillRunningText(it->name, it->pid, it->force);
            it = m_watches.erase(it);
            emit stillRunning(message);
        } else {
            ++it;
        }
    }
    if (m_watches.empty())
        m_watchTimer.stop();
}

namespace {
// "<name> (pid <n>)", as every message names the process.
QString named(const QString &name, int pid)
{
    return name + QStringLiteral(" (pid ") + QString::number(pid) + QLatin1Char(')');
}
} // namespace

QString ProcessTerminator::refusalText(const QString &name, int pid, int err)
{
    return QStringLiteral("Nu am putut închide procesul ") + named(name, pid) + QStringLiteral(". Cod ")
        + QString::number(err) + QStringLiteral(" \u2013 ") + QString::fromLocal8Bit(std::strerror(err))
        + QLatin1Char('.');
}

QString ProcessTerminator::systemProcessText(const QString &name, int pid)
{
    return QStringLiteral("Nu închid procesul ") + named(name, pid)
        + QStringLiteral(": este procesul de pornire al sistemului.");
}

QString ProcessTerminator::ownProcessText(const QString &name, int pid)
{
    return QStringLiteral("Nu închid procesul ") + named(name, pid)
        + QStringLiteral(": este chiar Corvane. Ieși din aplicație din meniul ei.");
}

QString ProcessTerminator::replacedText(const QString &name, int pid)
{
    return QStringLiteral("Procesul ") + named(name, pid)
        + QStringLiteral(" s-a încheiat, iar pid-ul lui aparține acum altui proces. Nu am trimis niciun semnal.");
}

QString ProcessTerminator::endedText(const QString &name, int pid)
{
    return QStringLiteral("Procesul ") + named(name, pid) + QStringLiteral(" s-a încheiat deja. Nu am trimis niciun semnal.");
}

QString ProcessTerminator::ignoredText(const QString &name, int pid)
{
    return QStringLiteral("Procesul ") + named(name, pid)
        + QStringLiteral(" ignoră SIGTERM și rulează în continuare. Îl poți opri cu „Forțează (SIGKILL)”.");
}

QString ProcessTerminator::stillRunningText(const QString &name, int pid, bool force)
{
    QString text = QStringLiteral("Procesul ") + named(name, pid) + QStringLiteral(" rulează în continuare după ")
        + (force ? QStringLiteral("SIGKILL.") : QStringLiteral("SIGTERM."));
    if (!force)
        text += QStringLiteral(" Îl poți opri cu „Forțează (SIGKILL)”.");
    return text;
}

} // namespace corvane
