#include "monitors/FanControl.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace corvane {

FanControlBridge::FanControlBridge(QObject *parent) : QObject(parent), m_launcher(makeElevatedLauncher()) {}

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
    return {false, QStringLiteral("SMC a refuzat comanda")};
}

void FanControlBridge::run(const QString &helper, const QStringList &args, std::function<void(Outcome)> done)
{
    m_launcher->start(helper, args, this, [done = std::move(done)](const ProcessOutcome &ended) {
        if (done)
            done(outcomeFor(ended));
    });
}

void FanControlBridge::runBlocking(const QString &helper, const QStringList &args)
{
    outcomeFor(m_launcher->run(helper, args, m_restoreTimeoutMs));
}

} // namespace corvane
