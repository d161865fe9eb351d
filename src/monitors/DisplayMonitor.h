#pragma once
// The active displays, one record each, re-read every 5 s and whenever a screen changes.
#include "monitors/SamplerScheduler.h"
#include "platform/DisplaySource.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

struct SupportedMode {
    Q_GADGET
    Q_PROPERTY(int width MEMBER width)
    Q_PROPERTY(int height MEMBER height)
    Q_PROPERTY(double refresh MEMBER refresh)
    Q_PROPERTY(QString label READ label)
public:
    int width = 0;  // pixels
    int height = 0; // pixels
    double refresh = 0; // Hz
    // "2560 × 1440 @ 60 Hz": refresh rounded half away from zero.
    QString label() const;
    bool operator==(const SupportedMode &) const = default;
};

struct DisplayInfo {
    Q_GADGET
    Q_PROPERTY(quint32 id MEMBER id)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(bool isBuiltIn MEMBER isBuiltIn)
    Q_PROPERTY(bool isMain MEMBER isMain)
    Q_PROPERTY(bool isMirror MEMBER isMirror)
    Q_PROPERTY(bool isAsleep MEMBER isAsleep)
    Q_PROPERTY(int resolutionWidth MEMBER resolutionWidth)
    Q_PROPERTY(int resolutionHeight MEMBER resolutionHeight)
    Q_PROPERTY(int pixelWidth MEMBER pixelWidth)
    Q_PROPERTY(int pixelHeight MEMBER pixelHeight)
    Q_PROPERTY(double refreshHz MEMBER refreshHz)
    Q_PROPERTY(double maxRefreshHz MEMBER maxRefreshHz)
    Q_PROPERTY(int nativeWidth MEMBER nativeWidth)
    Q_PROPERTY(int nativeHeight MEMBER nativeHeight)
    Q_PROPERTY(double physicalWidthMM MEMBER physicalWidthMM)
    Q_PROPERTY(double physicalHeightMM MEMBER physicalHeightMM)
    Q_PROPERTY(double diagonalInches MEMBER diagonalInches)
    Q_PROPERTY(bool supportsHDR MEMBER supportsHDR)
    Q_PROPERTY(double maxEDR MEMBER maxEDR)
    Q_PROPERTY(QString colorSpaceName MEMBER colorSpaceName)
    Q_PROPERTY(int bitsPerColor MEMBER bitsPerColor)
    Q_PROPERTY(quint32 vendorCode MEMBER vendorCode)
    Q_PROPERTY(quint32 productCode MEMBER productCode)
    Q_PROPERTY(quint32 serial MEMBER serial)
    Q_PROPERTY(QVariant yearOfManufacture READ yearOfManufactureVariant)
    Q_PROPERTY(QString transport MEMBER transport)
    Q_PROPERTY(QVariantList supportedModes READ supportedModesVariant)
    Q_PROPERTY(QString screenName MEMBER screenName)
public:
    using SupportedMode = corvane::SupportedMode;

    quint32 id = 0; // stable over runs: derived from screenName
    QString name;
    bool isBuiltIn = false;
    bool isMain = false;
    bool isMirror = false;
    bool isAsleep = false;
    int resolutionWidth = 0;
    int resolutionHeight = 0;
    int pixelWidth = 0;
    int pixelHeight = 0;
    double refreshHz = 0;
    double maxRefreshHz = 0;
    int nativeWidth = 0;
    int nativeHeight = 0;
    double physicalWidthMM = 0;
    double physicalHeightMM = 0;
    double diagonalInches = 0;
    bool supportsHDR = false;
    double maxEDR = 1.0;
    QString colorSpaceName;
    int bitsPerColor = 8;
    quint32 vendorCode = 0;
    quint32 productCode = 0;
    quint32 serial = 0;
    std::optional<int> yearOfManufacture;
    QString transport;
    QList<SupportedMode> supportedModes;
    // The output name (e.g. "HDMI-A-1" or "eDP-1"), equal to the QScreen's name() it shows on.
    QString screenName;

    QVariant yearOfManufactureVariant() const;
    QVariantList supportedModesVariant() const;
    bool operator==(const DisplayInfo &) const = default;
};

size_t qHash(const SupportedMode &m, size_t seed = 0);
size_t qHash(const DisplayInfo &d, size_t seed = 0);

// Everything known about one display, gathered from Qt, the kernel and the X server; the
// input of DisplayMonitor::makeDisplayInfo.
struct DisplayFacts {
    struct CurrentMode {
        int width = 0;       // points
        int height = 0;
        int pixelWidth = 0;
        int pixelHeight = 0;
        double refresh = 0;  // Hz, 0 when unknown
        QString pixelEncoding; // bits per pixel as text ("24", "30"); empty when unknown
    };
    struct Screen {
        double maximumFramesPerSecond = 0;
        std::optional<double> maxEDR;          // Linux has no extended dynamic range figure
        std::optional<QString> colorSpaceName; // nor a colour-space name
    };

    quint32 id = 0;
    QString screenName;
    bool builtIn = false;
    bool main = false;
    bool mirror = false;
    bool asleep = false;
    std::optional<CurrentMode> currentMode;
    int pixelsWide = 0; // the display's size when no current mode is known
    int pixelsHigh = 0;
    std::optional<Screen> screen;
    std::vector<SupportedMode> modes; // in the order the system lists them
    double physicalWidthMM = 0;
    double physicalHeightMM = 0;
    quint32 vendorCode = 0;
    quint32 productCode = 0;
    quint32 serial = 0;
    std::optional<QString> productName;
    std::optional<int> yearOfManufacture;
    std::optional<QString> transport;
};

// Owns the source; reads sysfs, EDID and the X server on the "corvane.display-sampler" thread.
class DisplaySampler {
public:
    explicit DisplaySampler(std::unique_ptr<DisplaySource> source) : m_source(std::move(source)) {}
    DisplaySourceSnapshot sample() { return m_source->read(); }

private:
    std::unique_ptr<DisplaySource> m_source;
};

class DisplayMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by AppState")
    Q_PROPERTY(QVariantList displays READ displaysVariant NOTIFY displaysChanged)
public:
    using ScreenProvider = std::function<std::vector<ScreenFacts>()>;

    explicit DisplayMonitor(QObject *parent = nullptr);
    DisplayMonitor(std::unique_ptr<DisplaySource> source, ScreenProvider screens, const Clock &clock,
                   bool autoStart, QObject *parent = nullptr);
    ~DisplayMonitor() override;

    // Reads at once, then every 5 s.
    void start();
    void stop();
    bool isRunning() const { return m_scheduler->isActive(); }
    // Re-reads now (a screen changed); the 5 s cadence restarts from here.
    void refresh();

    const QList<DisplayInfo> &displays() const { return m_displays; }
    QVariantList displaysVariant() const;

    // The main-thread part of a refresh: Qt's screens merged with the sampler's reading.
    void publish(const DisplaySourceSnapshot &s);

    static DisplayInfo makeDisplayInfo(const DisplayFacts &f);
    static std::vector<DisplayFacts> mergeFacts(const std::vector<ScreenFacts> &screens,
                                                const DisplaySourceSnapshot &source);
    // Bits per colour component from a pixel-encoding text: "64" → 16, "30" → 10, "16" → 5, else 8.
    static int bitsPerColor(const QString &encoding);
    // Stable over runs, so views keep their selection across refreshes.
    static quint32 displayId(const QString &screenName);

    SamplerScheduler *scheduler() const { return m_scheduler.get(); }

signals:
    // Once per applied snapshot, after all of its fields are in place.
    void updated();
    void displaysChanged();

private:
    void watchScreens();
    std::unique_ptr<DisplaySampler> m_sampler; // touched only on the sampler thread
    ScreenProvider m_screens;
    QList<DisplayInfo> m_displays;
    std::unique_ptr<SamplerScheduler> m_scheduler;
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::SupportedMode)
Q_DECLARE_METATYPE(corvane::DisplayInfo)
