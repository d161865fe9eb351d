#include "monitors/FanControl.h"

#include "common/Log.h"
#include "platform/linux/SmcFanTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>
#include <utility>

namespace corvane {

namespace {
QString fromEnv(const char *name, const QString &fallback)
{
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? fallback : v;
}
} // namespace

FanControlBridge::FanControlBridge(QObject *parent)
    : QObject(parent),
      m_launcher(makeElevatedLauncher(fromEnv("CORVANE_FAN_ELEVATOR", QStringLiteral("/usr/bin/pkexec")))),
      m_stateDir(fromEnv("SMCFAN_STATE_DIR", QString::fromLatin1(fantree::kDefaultStateDir)))
{
}

std::optional<QString> FanControlBridge::locateHelper(const QString &appDir)
{
    const QString candidates[] = {
        appDir + QLatin1Char('/') + kHelperName,
        QDir::cleanPath(appDir + QStringLiteral("/../libexec/corvane/") + kHelperName),
    };
    for (const QString &c : candidates) {
        const QFileInfo fi(c);
        if (fi.isFile() && fi.isExecutable())
            return fi.absoluteFilePath();
    }
    return std::nullopt;
}

std::optional<QString> FanControlBridge::helperPath() const
{
    if (m_helperOverride) {
        if (m_helperOverride->isEmpty())
            return std::nullopt;
        return m_helperOverride;
    }
    return locateHelper(QCoreApplication::applicationDirPath());
}

QStringList FanControlBridge::helperArguments(std::optional<long long> rpm, std::optional<int> fanIndex)
{
    if (!rpm)
        return {QStringLiteral("auto")};
    QStringList args{QStringLiteral("set"), QString::number(*rpm)};
    if (fanIndex)
        args << QString::number(*fanIndex);
    return args;
}

FanControlBridge::Outcome FanControlBridge::outcomeFor(const ProcessOutcome &ended)
{
    using End = ProcessOutcome::End;
    if (ended.succeeded())
        return {true, QString()};
    const QString said = QString::fromUtf8(ended.errorOutput).trimmed();
    switch (ended.end) {
    case End::dismissed:
        qCInfo(lcMonitors) << "fan command cancelled at the authentication prompt";
        return {false, QStringLiteral("Anulat")};
    case End::notAuthorized:
        qCWarning(lcMonitors).noquote() << "fan command not authorised:" << (said.isEmpty() ? QStringLiteral("no reason given") : said);
        // pkexec says so when there is nobody to ask for the password.
        if (said.contains(QLatin1String("authentication agent"), Qt::CaseInsensitive))
            return {false, QStringLiteral("Autorizare eșuată: niciun agent de autentificare activ")};
        return {false, QStringLiteral("Autorizare eșuată")};
    case End::failedToStart:
        return {false, ended.errorText};
    case End::exited:
        qCWarning(lcMonitors).noquote() << "fan helper refused the command (status" << ended.exitCode
                                        << "):" << (said.isEmpty() ? QStringLiteral("no reason given") : said);
        break;
    case End::crashed:
    case End::timedOut:
        qCWarning(lcMonitors).noquote() << "fan helper did not finish normally:" << ended.errorText << said;
        break;
    }
    return {false, QStringLiteral("Ventilatorul a refuzat comanda")};
}

void FanControlBridge::run(const QString &helper, const QStringList &args, std::function<void(Outcome)> done)
{
    // A "set" counts as forcing from its start: quitting while it runs still restores.
    const bool set = !args.isEmpty() && args.first() == QLatin1String("set");
    if (set)
        ++m_setsRunning;
    m_launcher->start(helper, args, this, [this, set, done = std::move(done)](const ProcessOutcome &ended) {
        const Outcome o = outcomeFor(ended);
        if (set)
            --m_setsRunning;
        if (o.success)
            m_forced = set;
        if (done)
            done(o);
    });
}

bool FanControlBridge::mayBeForced() const
{
    if (m_forced.load() || m_setsRunning.load() > 0)
        return true;
    const fantree::ForcedState st = fantree::readForcedState(QFile::encodeName(m_stateDir).toStdString());
    return st.forced && st.owner && st.owner->pid == static_cast<long>(::getpid()) && fantree::ownerAlive(*st.owner);
}

bool FanControlBridge::beginRestore()
{
    if (m_restoring)
        return true;
    const auto helper = helperPath();
    if (!helper)
        return false;
    m_restoreDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_restoreTimeoutMs);
    m_restoring = m_launcher->spawn(*helper, helperArguments(std::nullopt, std::nullopt));
    m_restoreEnded = false;
    if (!m_restoring)
        qCWarning(lcMonitors) << "the fan helper could not be started to restore automatic control";
    return m_restoring != nullptr;
}

bool FanControlBridge::finishRestore(std::chrono::steady_clock::time_point deadline)
{
    if (!m_restoring || m_restoreEnded)
        return true;
    m_restoreEnded = m_restoring->waitUntil(deadline);
    return m_restoreEnded;
}

bool FanControlBridge::restoreSettled()
{
    return finishRestore(std::chrono::steady_clock::time_point()) || std::chrono::steady_clock::now() >= m_restoreDeadline;
}

bool FanControlBridge::restoreIfLeftForced()
{
    const fantree::ForcedState st = fantree::readForcedState(QFile::encodeName(m_stateDir).toStdString());
    if (!st.forced || (st.owner && fantree::ownerAlive(*st.owner)))
        return false;
    const auto helper = helperPath();
    if (!helper)
        return false;
    if (st.owner)
        qCWarning(lcMonitors) << "fans left forced by process" << st.owner->pid
                              << "which no longer runs: automatic control restored";
    else
        qCWarning(lcMonitors) << "fans left forced by an earlier run: automatic control restored";
    run(*helper, helperArguments(std::nullopt, std::nullopt),
        [this](Outcome o) { emit leftForcedRestored(o.success); });
    return true;
}

} // namespace corvane
