#include "ui/tabs/ProcessTerminator.h"

#include "platform/Haptics.h"

#include <QCoreApplication>

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
}

ProcessTerminator::~ProcessTerminator() = default;

void ProcessTerminator::hold(int pid)
{
    m_held.reset();
    // Pid 0, 1 and our own are refused at terminate(); nothing to hold for them.
    if (pid > 1 && pid != m_ownPid)
        m_held = m_signals->hold(pid);
    if (m_heldPid != pid) {
        m_heldPid = pid;
        emit heldPidChanged();
    }
}

void ProcessTerminator::release()
{
    m_held.reset();
    if (m_heldPid != 0) {
        m_heldPid = 0;
        emit heldPidChanged();
    }
}

QString ProcessTerminator::terminate(const QString &name, int pid, bool force)
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
    if (!m_held || m_heldPid != pid)
        hold(pid);
    const int err = m_held->send(force ? SIGKILL : SIGTERM);
    release();
    return err == 0 ? QString() : refusalText(name, pid, err);
}

QString ProcessTerminator::refusalText(const QString &name, int pid, int err)
{
    return QStringLiteral("Nu am putut închide procesul ") + name + QStringLiteral(" (pid ") + QString::number(pid)
        + QStringLiteral("). Cod ") + QString::number(err) + QStringLiteral(" \u2013 ")
        + QString::fromLocal8Bit(std::strerror(err)) + QLatin1Char('.');
}

QString ProcessTerminator::systemProcessText(const QString &name, int pid)
{
    return QStringLiteral("Nu închid procesul ") + name + QStringLiteral(" (pid ") + QString::number(pid)
        + QStringLiteral("): este procesul de pornire al sistemului.");
}

QString ProcessTerminator::ownProcessText(const QString &name, int pid)
{
    return QStringLiteral("Nu închid procesul ") + name + QStringLiteral(" (pid ") + QString::number(pid)
        + QStringLiteral("): este chiar Corvane. Ieși din aplicație din meniul ei.");
}

} // namespace corvane
