#include "monitors/FanControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <utility>

namespace corvane {

FanControlBridge::FanControlBridge(QObject *parent) : QObject(parent) {}

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

FanControlBridge::Outcome FanControlBridge::outcomeFor(QProcess::ExitStatus status, int exitCode)
{
    if (status == QProcess::NormalExit && exitCode == 0)
        return {true, QString()};
    if (status == QProcess::NormalExit && exitCode == kLauncherDismissed)
        return {false, QStringLiteral("Anulat")};
    return {false, QStringLiteral("SMC a refuzat comanda")};
}

void FanControlBridge::run(const QString &helper, const QStringList &args, std::function<void(Outcome)> done)
{
    auto *proc = new QProcess(this);
    proc->setProgram(m_launcher);
    proc->setArguments(QStringList{helper} + args);
    proc->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    // Read as it arrives so a talkative helper never stalls on a full pipe; the text is
    // not shown, only the exit status counts.
    connect(proc, &QProcess::readyReadStandardError, proc, [proc] { proc->readAllStandardError(); });
    auto finish = std::make_shared<std::function<void(Outcome)>>(std::move(done));
    connect(proc, &QProcess::finished, this, [proc, finish](int code, QProcess::ExitStatus st) {
        proc->deleteLater();
        if (*finish)
            std::exchange(*finish, nullptr)(outcomeFor(st, code));
    });
    connect(proc, &QProcess::errorOccurred, this, [proc, finish](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return; // a crash or kill also ends in finished()
        proc->deleteLater();
        if (*finish)
            std::exchange(*finish, nullptr)(Outcome{false, proc->errorString()});
    });
    proc->start();
}

void FanControlBridge::runBlocking(const QString &helper, const QStringList &args)
{
    QProcess proc;
    proc.setProgram(m_launcher);
    proc.setArguments(QStringList{helper} + args);
    proc.setStandardOutputFile(QProcess::nullDevice());
    proc.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer elapsed;
    elapsed.start();
    proc.start();
    if (!proc.waitForStarted(m_restoreTimeoutMs))
        return;
    const int left = std::max(0, m_restoreTimeoutMs - static_cast<int>(elapsed.elapsed()));
    if (!proc.waitForFinished(left)) {
        proc.kill();
        proc.waitForFinished(500);
    }
}

} // namespace corvane
