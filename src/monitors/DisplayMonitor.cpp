#include "monitors/DisplayMonitor.h"
#include "monitors/Publish.h"
#include "common/Numbers.h"
#include "platform/Edid.h"

#include <QGuiApplication>
#include <QHashFunctions>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace corvane {

// ---- records ----

QString SupportedMode::label() const
{
    // Rounded half away from zero, as printf-free integer text; a mode without timings (0) or
    // with a broken rate has no number.
    const auto hz = std::isfinite(refresh) && refresh > 0 ? checkedCast<long long>(std::round(refresh)) : std::nullopt;
    return QString::number(width) + QStringLiteral(" × ") + QString::number(height) + QStringLiteral(" @ ")
        + (hz ? QString::number(*hz) + QStringLiteral(" Hz") : QStringLiteral("—"));
}

QVariant DisplayInfo::yearOfManufactureVariant() const
{
    return yearOfManufacture ? QVariant(*yearOfManufacture) : QVariant();
}

QVariantList DisplayInfo::supportedModesVariant() const
{
    QVariantList out;
    out.reserve(supportedModes.size());
    for (const auto &m : supportedModes)
        out.append(QVariant::fromValue(m));
    return out;
}

size_t qHash(const SupportedMode &m, size_t seed)
{
    return qHashMulti(seed, m.width, m.height, m.refresh);
}

size_t qHash(const DisplayInfo &d, size_t seed)
{
    seed = qHashMulti(seed, d.id, d.name, d.isBuiltIn, d.isMain, d.isMirror, d.isAsleep, d.resolutionWidth,
                      d.resolutionHeight, d.pixelWidth, d.pixelHeight, d.refreshHz, d.maxRefreshHz, d.nativeWidth,
                      d.nativeHeight, d.physicalWidthMM, d.physicalHeightMM, d.diagonalInches);
    seed = qHashMulti(seed, d.supportsHDR, d.maxEDR, d.colorSpaceName, d.bitsPerColor, d.vendorCode, d.productCode,
                      d.serial, d.yearOfManufacture.value_or(-1), d.yearOfManufacture.has_value(), d.transport,
                      d.screenName);
    return qHashRange(d.supportedModes.begin(), d.supportedModes.end(), seed);
}

// ---- the record of one display ----

int DisplayMonitor::bitsPerColor(const QString &encoding)
{
    if (encoding.contains(u"64"))
        return 16;
    if (encoding.contains(u"30"))
        return 10;
    if (encoding.contains(u"16"))
        return 5;
    return 8;
}

quint32 DisplayMonitor::displayId(const QString &screenName)
{
    // FNV-1a over the UTF-8 name: the same output gets the same id in every run.
    quint32 h = 2166136261u;
    for (const char c : screenName.toUtf8()) {
        h ^= static_cast<uint8_t>(c);
        h *= 16777619u;
    }
    return h;
}

static double finiteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

DisplayInfo DisplayMonitor::makeDisplayInfo(const DisplayFacts &f)
{
    DisplayInfo d;
    d.id = f.id;
    d.screenName = f.screenName;
    d.isBuiltIn = f.builtIn;
    d.isMain = f.main;
    d.isMirror = f.mirror;
    d.isAsleep = f.asleep;

    if (f.currentMode) {
        d.resolutionWidth = f.currentMode->width;
        d.resolutionHeight = f.currentMode->height;
        d.pixelWidth = f.currentMode->pixelWidth;
        d.pixelHeight = f.currentMode->pixelHeight;
        d.refreshHz = finiteOrZero(f.currentMode->refresh);
    } else {
        d.resolutionWidth = d.pixelWidth = f.pixelsWide;
        d.resolutionHeight = d.pixelHeight = f.pixelsHigh;
        d.refreshHz = 0;
    }
    if (d.refreshHz == 0 && f.screen)
        d.refreshHz = finiteOrZero(f.screen->maximumFramesPerSecond);

    // A rate that is not a number would break the ordering below: count it as unknown (0).
    std::vector<SupportedMode> modes = f.modes;
    for (auto &m : modes)
        m.refresh = finiteOrZero(m.refresh);

    if (modes.empty()) {
        d.maxRefreshHz = d.refreshHz;
        d.nativeWidth = d.pixelWidth;
        d.nativeHeight = d.pixelHeight;
    } else {
        d.maxRefreshHz = modes.front().refresh;
        int64_t bestArea = -1;
        for (const auto &m : modes) {
            d.maxRefreshHz = std::max(d.maxRefreshHz, m.refresh);
            const int64_t area = static_cast<int64_t>(m.width) * m.height;
            if (area > bestArea) { // strictly larger: the first of equal sizes wins
                bestArea = area;
                d.nativeWidth = m.width;
                d.nativeHeight = m.height;
            }
        }
    }

    d.physicalWidthMM = finiteOrZero(f.physicalWidthMM);
    d.physicalHeightMM = finiteOrZero(f.physicalHeightMM);
    d.diagonalInches = std::sqrt(d.physicalWidthMM * d.physicalWidthMM + d.physicalHeightMM * d.physicalHeightMM) / 25.4;

    if (f.screen) {
        d.maxEDR = f.screen->maxEDR.value_or(1.0);
        d.supportsHDR = d.maxEDR > 1.0;
        d.colorSpaceName = f.screen->colorSpaceName.value_or(QStringLiteral("—"));
    } else {
        d.supportsHDR = false;
        d.maxEDR = 1.0;
        d.colorSpaceName = QStringLiteral("—");
    }

    d.bitsPerColor = f.currentMode ? bitsPerColor(f.currentMode->pixelEncoding) : 8;

    d.vendorCode = f.vendorCode;
    d.productCode = f.productCode;
    d.serial = f.serial;

    if (f.productName && !f.productName->isEmpty())
        d.name = *f.productName;
    else
        d.name = f.builtIn ? QStringLiteral("Built-in Display") : QStringLiteral("External Display");
    d.yearOfManufacture = f.yearOfManufacture;
    if (f.builtIn)
        d.transport = QStringLiteral("Internal");
    else if (f.transport && !f.transport->isEmpty())
        d.transport = *f.transport;
    else
        d.transport = QStringLiteral("—"); // a virtual screen, or a connector of no known kind

    std::stable_sort(modes.begin(), modes.end(), [](const SupportedMode &a, const SupportedMode &b) {
        if (a.width != b.width)
            return a.width > b.width;
        return a.refresh > b.refresh;
    });
    d.supportedModes = QList<SupportedMode>(modes.begin(), modes.end());
    return d;
}

// ---- matching Qt's screens with the kernel's connectors and the X server's outputs ----

namespace {

// "HDMI-A-1" → "HDMI-A"; "DisplayPort-0" → "DisplayPort".
QString connectorType(const QString &name)
{
    const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0)
        return name;
    const QString tail = name.mid(dash + 1);
    bool digits = !tail.isEmpty();
    for (const QChar c : tail)
        digits = digits && c.isDigit();
    return digits ? name.left(dash) : name;
}

bool isBuiltInType(const QString &type)
{
    return type.compare(u"eDP", Qt::CaseInsensitive) == 0 || type.compare(u"LVDS", Qt::CaseInsensitive) == 0
        || type.compare(u"DSI", Qt::CaseInsensitive) == 0;
}

std::optional<QString> transportOf(const QString &type)
{
    const QString t = type.toUpper();
    if (t.startsWith(u"HDMI"))
        return QStringLiteral("HDMI");
    if (t == u"DP" || t == u"DISPLAYPORT")
        return QStringLiteral("DisplayPort");
    if (t.startsWith(u"DVI"))
        return QStringLiteral("DVI");
    if (t == u"VGA")
        return QStringLiteral("VGA");
    if (t == u"USB")
        return QStringLiteral("USB");
    return std::nullopt;
}

// The X server names HDMI-A connectors "HDMI-1"; compare type and index that way.
QString normalisedName(const QString &name)
{
    QString n = name.toUpper();
    n.replace(QStringLiteral("HDMI-A-"), QStringLiteral("HDMI-"));
    n.replace(QStringLiteral("DISPLAYPORT-"), QStringLiteral("DP-"));
    return n;
}

const DrmConnectorFacts *matchConnector(const ScreenFacts &s, const XOutputFacts *xo,
                                        const std::vector<DrmConnectorFacts> &connectors, std::vector<bool> &used)
{
    auto pick = [&](auto pred) -> const DrmConnectorFacts * {
        for (size_t i = 0; i < connectors.size(); ++i)
            if (!used[i] && connectors[i].connected && pred(connectors[i])) {
                used[i] = true;
                return &connectors[i];
            }
        return nullptr;
    };
    // The same EDID is the surest sign; names differ between the kernel and X drivers.
    if (xo && !xo->edid.isEmpty())
        if (auto *c = pick([&](const DrmConnectorFacts &c) { return c.edid == xo->edid; }))
            return c;
    if (auto *c = pick([&](const DrmConnectorFacts &c) { return c.name == s.name; }))
        return c;
    const QString n = normalisedName(s.name);
    return pick([&](const DrmConnectorFacts &c) { return normalisedName(c.name) == n; });
}

} // namespace

std::vector<DisplayFacts> DisplayMonitor::mergeFacts(const std::vector<ScreenFacts> &screens,
                                                     const DisplaySourceSnapshot &source)
{
    std::vector<DisplayFacts> out;
    std::vector<bool> used(source.connectors.size(), false);
    for (const ScreenFacts &s : screens) {
        const XOutputFacts *xo = nullptr;
        if (source.xOutputs)
            for (const auto &o : *source.xOutputs)
                if (o.name == s.name && (!xo || (o.connected && !xo->connected)))
                    xo = &o;
        const DrmConnectorFacts *drm = matchConnector(s, xo, source.connectors, used);

        DisplayFacts f;
        f.screenName = s.name;
        f.id = displayId(s.name);
        const QString type = drm ? drm->type : connectorType(s.name);
        f.builtIn = isBuiltInType(type);
        f.main = s.primary;
        if (xo)
            f.mirror = xo->sharesCrtc;
        else
            f.mirror = std::any_of(screens.begin(), screens.end(), [&](const ScreenFacts &o) {
                return &o != &s && o.geometry == s.geometry;
            });
        f.asleep = drm && (drm->dpms == u"Off" || drm->dpms == u"Standby" || drm->dpms == u"Suspend");

        // Behind a RandR output Qt's rate is the mode's own, or its 60 Hz default when the mode
        // has no timings (virtual displays): only the mode counts there.
        const double screenHz = xo ? (xo->currentMode ? finiteOrZero(xo->currentMode->refresh) : 0.0)
                                   : finiteOrZero(s.refreshRate);
        if (!s.geometry.isEmpty()) {
            DisplayFacts::CurrentMode m;
            m.width = s.geometry.width();
            m.height = s.geometry.height();
            if (xo && xo->currentMode) {
                m.pixelWidth = xo->currentMode->width;
                m.pixelHeight = xo->currentMode->height;
                m.refresh = finiteOrZero(xo->currentMode->refresh);
            } else {
                const double dpr = std::isfinite(s.devicePixelRatio) && s.devicePixelRatio > 0 ? s.devicePixelRatio : 1.0;
                m.pixelWidth = checkedCast<int>(std::round(m.width * dpr)).value_or(m.width);
                m.pixelHeight = checkedCast<int>(std::round(m.height * dpr)).value_or(m.height);
                m.refresh = screenHz;
            }
            if (s.depth > 0)
                m.pixelEncoding = QString::number(s.depth);
            f.pixelsWide = m.pixelWidth;
            f.pixelsHigh = m.pixelHeight;
            f.currentMode = m;
        }
        f.screen = DisplayFacts::Screen{screenHz, std::nullopt, std::nullopt};

        if (xo) {
            for (const auto &m : xo->modes)
                f.modes.push_back({m.width, m.height, m.refresh});
        } else if (f.currentMode) {
            // Without RandR only the mode in use is known.
            f.modes.push_back({f.currentMode->pixelWidth, f.currentMode->pixelHeight, f.currentMode->refresh});
        }

        const QByteArray edidBytes = drm && !drm->edid.isEmpty() ? drm->edid : (xo ? xo->edid : QByteArray());
        const std::optional<EdidInfo> edid = parseEdid(edidBytes);

        if (edid && edid->widthMm) {
            f.physicalWidthMM = *edid->widthMm;
            f.physicalHeightMM = *edid->heightMm;
        } else if (edid && edid->widthCm) {
            f.physicalWidthMM = *edid->widthCm * 10.0;
            f.physicalHeightMM = *edid->heightCm * 10.0;
        } else if (edid) {
            // RandR's and Qt's sizes come from these same bytes (an aspect ratio taken for
            // centimetres, or a 96 dpi guess): the size stays unknown.
            f.physicalWidthMM = 0;
            f.physicalHeightMM = 0;
        } else if (xo) {
            // RandR's millimetres, 0 when the output has none; Qt would size it at 96 dpi.
            const bool sized = xo->widthMm > 0 && xo->heightMm > 0;
            f.physicalWidthMM = sized ? static_cast<double>(xo->widthMm) : 0.0;
            f.physicalHeightMM = sized ? static_cast<double>(xo->heightMm) : 0.0;
        } else {
            f.physicalWidthMM = std::max(0.0, finiteOrZero(s.physicalWidthMm));
            f.physicalHeightMM = std::max(0.0, finiteOrZero(s.physicalHeightMm));
        }

        if (edid) {
            f.vendorCode = edid->vendorCode;
            f.productCode = edid->productCode;
            f.serial = edid->serial;
            f.productName = edid->monitorName;
            f.yearOfManufacture = edid->yearOfManufacture;
        }
        f.transport = transportOf(type);
        out.push_back(std::move(f));
    }
    return out;
}

// ---- the monitor ----

DisplayMonitor::DisplayMonitor(QObject *parent)
    : DisplayMonitor(makeLinuxDisplaySource(QStringLiteral("/sys"), qtX11DisplayName()), &currentScreenFacts,
                     Clock::system(), true, parent)
{
    watchScreens();
}

DisplayMonitor::DisplayMonitor(std::unique_ptr<DisplaySource> source, ScreenProvider screens, const Clock &clock,
                               bool autoStart, QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<DisplaySampler>(std::move(source))), m_screens(std::move(screens))
{
    // Sysfs, EDID and the X server are read on the sampler thread; Qt's screens are merged
    // in on the main thread, the only one allowed to touch them. Nothing shows them while no
    // surface is visible: a reading then rides along with the main thread's next flush.
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.display-sampler"), Cadence::offsetThenEvery(0.0, 5.0),
        sampleThenPublish(m_sampler.get(), this, PublicationBatch::Delivery::Riding),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

DisplayMonitor::~DisplayMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void DisplayMonitor::start() { m_scheduler->start(); }
void DisplayMonitor::stop() { m_scheduler->stop(); }

void DisplayMonitor::refresh()
{
    if (m_scheduler->isActive())
        m_scheduler->start();
}

void DisplayMonitor::watchScreens()
{
    auto *app = qGuiApp;
    if (!app)
        return;
    auto watch = [this](QScreen *s) {
        connect(s, &QScreen::geometryChanged, this, &DisplayMonitor::refresh);
        connect(s, &QScreen::refreshRateChanged, this, &DisplayMonitor::refresh);
        connect(s, &QScreen::physicalSizeChanged, this, &DisplayMonitor::refresh);
        connect(s, &QScreen::physicalDotsPerInchChanged, this, &DisplayMonitor::refresh);
    };
    for (QScreen *s : QGuiApplication::screens())
        watch(s);
    connect(app, &QGuiApplication::screenAdded, this, [this, watch](QScreen *s) {
        watch(s);
        refresh();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &DisplayMonitor::refresh);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &DisplayMonitor::refresh);
}

void DisplayMonitor::publish(const DisplaySourceSnapshot &s)
{
    QList<DisplayInfo> list;
    for (const DisplayFacts &f : mergeFacts(m_screens ? m_screens() : std::vector<ScreenFacts>{}, s))
        list.append(makeDisplayInfo(f));
    if (assignChanged(m_displays, std::move(list)))
        emit displaysChanged();
    emit updated();
}

QVariantList DisplayMonitor::displaysVariant() const
{
    QVariantList out;
    out.reserve(m_displays.size());
    for (const auto &d : m_displays)
        out.append(QVariant::fromValue(d));
    return out;
}

} // namespace corvane
