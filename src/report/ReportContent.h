#pragma once
// The report's texts: the figures captured from the hub when the user confirms the save
// dialog, and the rows of every section built from them. Drawing is ReportPainter's.
#include "monitors/ProcessMonitor.h"
#include "platform/MachineInfo.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace corvane {

class AppState;
class BatteryMonitor;
class CameraMonitor;
class FPSMonitor;
class GPUMonitor;
class MicrophoneMonitor;
class NetworkMonitor;
class PrivacyNotifier;
class ProcessMonitor;
class StorageMonitor;
class SystemMonitor;
class WiFiMonitor;

// The monitors the report reads. Any of them may be null: its figures keep the resting
// values a monitor starts with.
struct ReportSources {
    const SystemMonitor *system = nullptr;
    const GPUMonitor *gpu = nullptr;
    const FPSMonitor *fps = nullptr;
    const StorageMonitor *storage = nullptr;
    const BatteryMonitor *battery = nullptr;
    const NetworkMonitor *network = nullptr;
    const WiFiMonitor *wifi = nullptr;
    const CameraMonitor *camera = nullptr;
    const MicrophoneMonitor *mic = nullptr;
    const ProcessMonitor *processes = nullptr;
    const PrivacyNotifier *privacy = nullptr;

    // The hub's monitors and the process-wide privacy notifier.
    static ReportSources from(const AppState &state);
};

// Every figure the report prints, as the monitors held it at one moment. A battery figure
// or a GPU utilisation the monitor never read is absent; so is a zero where the screens take zero for "none" (no
// VRAM counter, no frame counted, no adapter rating). Absent figures print "—".
struct ReportSnapshot {
    MachineFacts machine;

    double uptimeSeconds = 0;
    double cpuUsage = 0;
    uint64_t ramUsedBytes = 0;
    uint64_t ramTotalBytes = 0;
    QString gpuName = QStringLiteral("—");
    std::optional<double> gpuUtilization; // absent while no accelerator has reported one
    uint64_t vramUsedBytes = 0;
    double currentFPS = 0;
    double refreshNominalHz = 0;

    QString driveName = QStringLiteral("—");
    uint64_t totalCapacityBytes = 0;
    uint64_t freeCapacityBytes = 0;
    uint64_t readBytesPerSec = 0;
    uint64_t writeBytesPerSec = 0;

    std::optional<double> batteryPercentage;
    bool isCharging = false;
    std::optional<double> healthPercentage;
    std::optional<int64_t> cycleCount;
    std::optional<int64_t> maxCapacity;
    std::optional<int64_t> designCapacity;
    std::optional<double> temperatureCelsius;
    std::optional<double> voltage;
    std::optional<QString> adapterName;
    std::optional<double> adapterDeliveringWatts;
    int64_t adapterMaxWatts = 0;

    QString primaryInterface = QStringLiteral("—");
    uint64_t downloadBytesPerSec = 0;
    uint64_t uploadBytesPerSec = 0;
    uint64_t totalDownloadedBytes = 0;
    uint64_t totalUploadedBytes = 0;

    bool wifiConnected = false;
    std::optional<QString> ssid;
    std::optional<QString> securityType;
    int64_t rssiDbm = 0;
    double transmitRateMbps = 0;
    std::optional<QString> channelLabel;

    bool isCameraOn = false;
    QStringList activeCameraNames;
    bool isMicrophoneOn = false;
    QStringList activeMicNames;
    qsizetype privacyEventCount = 0;

    QList<ProcSnap> topByCPU; // the first five at most

    static ReportSnapshot capture(const ReportSources &sources, const MachineInfo &machine);
};

struct ReportRow {
    QString label;
    QString value;
    bool operator==(const ReportRow &) const = default;
};

struct ReportSectionText {
    QString title;
    QList<ReportRow> rows;
};

// The whole page's texts. `sections` in page order: device, live performance, storage,
// battery (storage and battery side by side), network, privacy, processes.
struct ReportDocument {
    QString dateText;
    QList<ReportSectionText> sections;

    static ReportDocument build(const ReportSnapshot &s, const QDateTime &generatedAt,
                                const QLocale &locale = QLocale());
};

namespace report {

inline const QString kDash = QStringLiteral("—");
inline const QString kBrandLine = QStringLiteral("CORVANE SKERRIN");
inline const QString kTitle = QStringLiteral("Raport de sistem");
// "Corvane Skerrin Widget v" and this build's version.
QString productLine();
inline const QString kPublisherDomain = QStringLiteral("corvane.app");

// "Corvane_Report_2026-03-08_0905.pdf" for that local time; digits never localised.
QString fileName(const QDateTime &localTime);
// Day, full month name, year, hour and minute in the locale's order and clock.
QString headerDateText(const QDateTime &at, const QLocale &locale);
// The distribution's name and the kernel release: "Debian GNU/Linux 12 (bookworm) · kernel 6.1.0".
QString systemText(const MachineFacts &m);
// Upper case by the full Unicode mapping: "Rețea & WiFi" -> "REȚEA & WIFI".
QString sectionTitle(const QString &title);

ReportSectionText deviceSection(const ReportSnapshot &s);
ReportSectionText liveSection(const ReportSnapshot &s, const QLocale &locale);
ReportSectionText storageSection(const ReportSnapshot &s, const QLocale &locale);
ReportSectionText batterySection(const ReportSnapshot &s);
ReportSectionText networkSection(const ReportSnapshot &s, const QLocale &locale);
ReportSectionText privacySection(const ReportSnapshot &s);
ReportSectionText processSection(const ReportSnapshot &s, const QLocale &locale);

} // namespace report

} // namespace corvane
