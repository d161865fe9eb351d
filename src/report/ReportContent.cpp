#include "report/ReportContent.h"

#include "common/AppVersion.h"
#include "common/Formatters.h"
#include "common/Numbers.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/CameraMonitor.h"
#include "monitors/FPSMonitor.h"
#include "monitors/GPUMonitor.h"
#include "monitors/MicrophoneMonitor.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "monitors/WiFiMonitor.h"
#include "notify/PrivacyNotifier.h"
#include "state/AppState.h"

#include <QRegularExpression>

namespace corvane {

ReportSources ReportSources::from(const AppState &state)
{
    return {state.system(), state.gpu(),    state.fps(), state.storage(),   state.battery(),
            state.network(), state.wifi(),  state.camera(), state.mic(), state.processes(),
            PrivacyNotifier::shared()};
}

ReportSnapshot ReportSnapshot::capture(const ReportSources &src, const MachineInfo &machine)
{
    ReportSnapshot s;
    s.machine = machine.read();
    if (const SystemMonitor *m = src.system) {
        s.uptimeSeconds = m->uptimeSeconds();
        s.cpuUsage = m->cpuUsage();
        s.ramUsedBytes = m->ramUsedBytes();
        s.ramTotalBytes = m->ramTotalBytes();
    }
    if (const GPUMonitor *m = src.gpu) {
        s.gpuName = m->gpuName();
        if (m->utilizationKnown())
            s.gpuUtilization = m->utilization();
        s.vramUsedBytes = m->vramUsedBytes();
    }
    if (const FPSMonitor *m = src.fps) {
        s.currentFPS = m->currentFPS();
        s.refreshNominalHz = m->refreshNominalHz();
    }
    if (const StorageMonitor *m = src.storage) {
        s.driveName = m->driveName();
        s.totalCapacityBytes = m->totalCapacityBytes();
        s.freeCapacityBytes = m->freeCapacityBytes();
        s.readBytesPerSec = m->readBytesPerSec();
        s.writeBytesPerSec = m->writeBytesPerSec();
    }
    if (const BatteryMonitor *m = src.battery) {
        s.batteryPercentage = m->percentage();
        s.isCharging = m->isCharging();
        s.healthPercentage = m->healthPercentage();
        s.cycleCount = m->cycleCount();
        s.maxCapacity = m->maxCapacity();
        s.designCapacity = m->designCapacity();
        s.temperatureCelsius = m->temperatureCelsius();
        s.voltage = m->voltage();
        s.adapterName = m->adapterName();
        s.adapterDeliveringWatts = m->adapterDeliveringWatts();
        s.adapterMaxWatts = m->adapterMaxWatts();
    }
    if (const NetworkMonitor *m = src.network) {
        s.primaryInterface = m->primaryInterface();
        s.downloadBytesPerSec = m->downloadBytesPerSec();
        s.uploadBytesPerSec = m->uploadBytesPerSec();
        s.totalDownloadedBytes = m->totalDownloadedBytes();
        s.totalUploadedBytes = m->totalUploadedBytes();
    }
    if (const WiFiMonitor *m = src.wifi) {
        s.wifiConnected = m->isConnected();
        s.ssid = m->ssid();
        s.securityType = m->securityType();
        s.rssiDbm = m->rssiDbm();
        s.transmitRateMbps = m->transmitRateMbps();
        s.channelLabel = m->channelLabel();
    }
    if (const CameraMonitor *m = src.camera) {
        s.isCameraOn = m->isCameraOn();
        s.activeCameraNames = m->activeCameraNames();
    }
    if (const MicrophoneMonitor *m = src.mic) {
        s.isMicrophoneOn = m->isMicrophoneOn();
        s.activeMicNames = m->activeMicNames();
    }
    if (src.privacy)
        s.privacyEventCount = src.privacy->history().size();
    if (src.processes)
        s.topByCPU = src.processes->topByCPU().mid(0, 5);
    return s;
}

namespace report {

namespace {

QString percentText(double percent, int decimals)
{
    return printfFixed(percent, decimals) + QLatin1Char('%');
}

QString orDash(const std::optional<QString> &text)
{
    return text ? *text : kDash;
}

QString bytes(uint64_t count, const QLocale &locale)
{
    return byteCountText(count, locale);
}

// "DA · Camera A, Camera B" while in use, else "Nu"; the names are read only when in use.
QString inUseText(bool on, const QStringList &names)
{
    if (!on)
        return QStringLiteral("Nu");
    return QStringLiteral("DA · ") + names.join(QStringLiteral(", "));
}

} // namespace

QString productLine() { return QStringLiteral("Corvane Skerrin Widget v") + appVersion(); }

QString fileName(const QDateTime &localTime)
{
    return QStringLiteral("Corvane_Report_") + QLocale::c().toString(localTime, QStringLiteral("yyyy-MM-dd_HHmm"))
        + QStringLiteral(".pdf");
}

QString headerDateText(const QDateTime &at, const QLocale &locale)
{
    // The locale's long date without its weekday, then its short time without seconds
    // (with AM/PM where the locale keeps a 12-hour clock).
    QString date = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*|\\s*[,.]?\\s*d{4}"));
    date.remove(weekday);
    QString time = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]s{1,2}"));
    time.remove(seconds);
    return locale.toString(at, date.trimmed() + QLatin1Char(' ') + time.trimmed());
}

QString systemText(const MachineFacts &m)
{
    if (m.osName && m.kernelRelease)
        return *m.osName + QStringLiteral(" · kernel ") + *m.kernelRelease;
    if (m.kernelRelease)
        return QStringLiteral("Linux ") + *m.kernelRelease;
    return orDash(m.osName);
}

QString sectionTitle(const QString &title)
{
    return title.toUpper();
}

ReportSectionText deviceSection(const ReportSnapshot &s)
{
    const MachineFacts &m = s.machine;
    return {QStringLiteral("Dispozitiv"),
            {{QStringLiteral("Model"), orDash(m.model)},
             {QStringLiteral("Chip"), orDash(m.processor)},
             {QStringLiteral("Core-uri CPU"), m.onlineProcessors ? QString::number(*m.onlineProcessors) : kDash},
             {QStringLiteral("Sistem"), systemText(m)},
             {QStringLiteral("Hostname"), orDash(m.hostName)},
             {QStringLiteral("Uptime"), uptimeText(s.uptimeSeconds)}}};
}

ReportSectionText liveSection(const ReportSnapshot &s, const QLocale &locale)
{
    // As on the dashboard, a zero here is no figure: no display link (a headless session)
    // knows no refresh and counts no frame, and a GPU without a memory counter reports 0.
    const QString refresh = s.refreshNominalHz > 0 ? printfFixed(s.refreshNominalHz, 0) + QStringLiteral(" Hz") : kDash;
    const QString fps = s.currentFPS > 0 ? printfFixed(s.currentFPS, 0) : kDash;
    const QString vram = s.vramUsedBytes > 0 ? bytes(s.vramUsedBytes, locale) : kDash;
    return {QStringLiteral("Performanță live"),
            {{QStringLiteral("CPU load"), percentText(s.cpuUsage * 100, 1)},
             {QStringLiteral("RAM"), bytes(s.ramUsedBytes, locale) + QStringLiteral(" / ") + bytes(s.ramTotalBytes, locale)},
             {QStringLiteral("GPU"), s.gpuName},
             {QStringLiteral("GPU utilizare"), s.gpuUtilization ? percentText(*s.gpuUtilization * 100, 0) : kDash},
             {QStringLiteral("VRAM folosit"), vram},
             {QStringLiteral("FPS curent"), fps},
             {QStringLiteral("Refresh nominal"), refresh}}};
}

ReportSectionText storageSection(const ReportSnapshot &s, const QLocale &locale)
{
    // No volume read: no size, and no free space on it.
    const bool sized = s.totalCapacityBytes > 0;
    return {QStringLiteral("SSD"),
            {{QStringLiteral("Drive"), s.driveName},
             {QStringLiteral("Capacitate totală"), sized ? bytes(s.totalCapacityBytes, locale) : kDash},
             {QStringLiteral("Spațiu liber (fără rezerva root)"), sized ? bytes(s.freeCapacityBytes, locale) : kDash},
             {QStringLiteral("Read live"), byteRateText(s.readBytesPerSec)},
             {QStringLiteral("Write live"), byteRateText(s.writeBytesPerSec)}}};
}

ReportSectionText batterySection(const ReportSnapshot &s)
{
    // A machine without a battery has no figures (and is not charging): as on the dashboard, its rows say there is nothing to measure. A battery's
    // figure it never reported says the same.
    const bool present = BatteryMonitor::batteryPresent(s.batteryPercentage, s.voltage, s.maxCapacity, s.designCapacity);
    auto value = [present](const QString &text) { return present ? text : kDash; };
    auto known = [present](const auto &figure, auto text) { return present && figure ? text(*figure) : kDash; };
    auto mAh = [](int64_t n) { return QString::number(n) + QStringLiteral(" mAh"); };
    ReportSectionText section{
        QStringLiteral("Baterie"),
        {{QStringLiteral("Procent"), known(s.batteryPercentage, [](double p) { return percentText(p, 0); })},
         {QStringLiteral("Stare"), value(s.isCharging ? QStringLiteral("În încărcare") : QStringLiteral("Pe baterie"))},
         {QStringLiteral("Sănătate"), known(s.healthPercentage, [](double p) { return percentText(p, 0); })},
         {QStringLiteral("Cicluri"), known(s.cycleCount, [](int64_t n) { return QString::number(n); })},
         {QStringLiteral("Capacitate max"), known(s.maxCapacity, mAh)},
         {QStringLiteral("Capacitate design"), known(s.designCapacity, mAh)},
         {QStringLiteral("Temperatură"),
          known(s.temperatureCelsius, [](double c) { return printfFixed(c, 1) + QStringLiteral("°C"); })},
         {QStringLiteral("Voltaj"), known(s.voltage, [](double v) { return printfFixed(v, 2) + QStringLiteral(" V"); })}}};
    if (s.isCharging) {
        section.rows.append({QStringLiteral("Adapter"), orDash(s.adapterName)});
        // Most mains adapters report no power: no figure rather than 0.0 W.
        section.rows.append({QStringLiteral("Pe cablu"), s.adapterDeliveringWatts
                                                             ? printfFixed(*s.adapterDeliveringWatts, 1) + QStringLiteral(" W")
                                                             : kDash});
        // 0: the adapter states no rating (the dashboard leaves its "Maxim" line out).
        section.rows.append({QStringLiteral("Adapter rated"), s.adapterMaxWatts > 0
                                                                  ? QString::number(s.adapterMaxWatts) + QStringLiteral(" W")
                                                                  : kDash});
    }
    return section;
}

ReportSectionText networkSection(const ReportSnapshot &s, const QLocale &locale)
{
    // Without a Wi-Fi link the monitor holds 0 dBm and 0 Mbps, which would read as an
    // excellent signal: those two rows then say there is nothing to measure.
    const QString signal = s.wifiConnected
        ? QString::number(s.rssiDbm) + QStringLiteral(" dBm · ") + WiFiMonitor::signalQualityLabel(s.rssiDbm)
        : kDash;
    const QString rate = s.wifiConnected ? printfFixed(s.transmitRateMbps, 0) + QStringLiteral(" Mbps") : kDash;
    return {QStringLiteral("Rețea & WiFi"),
            {{QStringLiteral("Interfața"), s.primaryInterface},
             {QStringLiteral("Download live"), bitRateText(s.downloadBytesPerSec)},
             {QStringLiteral("Upload live"), bitRateText(s.uploadBytesPerSec)},
             {QStringLiteral("Download total"), bytes(s.totalDownloadedBytes, locale)},
             {QStringLiteral("Upload total"), bytes(s.totalUploadedBytes, locale)},
             {QStringLiteral("WiFi SSID"), orDash(s.ssid)},
             {QStringLiteral("Securitate"), orDash(s.securityType)},
             {QStringLiteral("Semnal"), signal},
             {QStringLiteral("Rata transmit"), rate},
             {QStringLiteral("Canal"), orDash(s.channelLabel)}}};
}

ReportSectionText privacySection(const ReportSnapshot &s)
{
    return {QStringLiteral("Privacy"),
            {{QStringLiteral("Cameră în uz acum"), inUseText(s.isCameraOn, s.activeCameraNames)},
             {QStringLiteral("Microfon în uz acum"), inUseText(s.isMicrophoneOn, s.activeMicNames)},
             {QStringLiteral("Evenimente în istoric"), QString::number(s.privacyEventCount)}}};
}

ReportSectionText processSection(const ReportSnapshot &s, const QLocale &locale)
{
    ReportSectionText section{QStringLiteral("Top 5 procese (CPU)"), {}};
    for (const ProcSnap &p : s.topByCPU.mid(0, 5))
        section.rows.append({p.name + QStringLiteral(" (pid ") + QString::number(p.pid) + QLatin1Char(')'),
                             percentText(p.cpuPercent, 1) + QStringLiteral(" · ") + bytes(p.memoryBytes, locale)});
    return section;
}

} // namespace report

ReportDocument ReportDocument::build(const ReportSnapshot &s, const QDateTime &generatedAt, const QLocale &locale)
{
    return {report::headerDateText(generatedAt, locale),
            {report::deviceSection(s), report::liveSection(s, locale), report::storageSection(s, locale),
             report::batterySection(s), report::networkSection(s, locale), report::privacySection(s),
             report::processSection(s, locale)}};
}

} // namespace corvane
