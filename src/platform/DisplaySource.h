#pragma once
// What the system knows about the attached displays, in two halves: the kernel's and the
// X server's view (slow reads, taken on a sampler thread) and Qt's screens (main thread only).
#include <QByteArray>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// A video mode in pixels.
struct DisplayModeFacts {
    int width = 0;
    int height = 0;
    double refresh = 0; // Hz; 0 when unknown
    bool operator==(const DisplayModeFacts &) const = default;
};

// One DRM connector, <sys>/class/drm/cardN-<name>.
struct DrmConnectorFacts {
    QString name;      // "HDMI-A-1", the card prefix removed
    QString card;      // "card0"
    QString type;      // "HDMI-A", "eDP", "DP", …
    bool connected = false;
    std::optional<bool> enabled;
    QString dpms;      // "On", "Off", "Standby", "Suspend"; empty when unknown
    QByteArray edid;
};

// One RandR output of the X server.
struct XOutputFacts {
    QString name;      // as Qt names the screen on it
    bool connected = false;
    std::optional<DisplayModeFacts> currentMode; // with a CRTC only
    std::vector<DisplayModeFacts> modes;         // in the server's order
    QRect crtcGeometry;                          // empty without a CRTC
    bool sharesCrtc = false;                     // another output shows the same picture
    uint64_t widthMm = 0;
    uint64_t heightMm = 0;
    QByteArray edid;
    bool primary = false;
};

struct DisplaySourceSnapshot {
    std::vector<DrmConnectorFacts> connectors;
    // Absent when not on X11 or the server has no RandR.
    std::optional<std::vector<XOutputFacts>> xOutputs;
};

class DisplaySource {
public:
    virtual ~DisplaySource() = default;
    // May block on sysfs and the X server: call off the GUI thread.
    virtual DisplaySourceSnapshot read() = 0;
};

// Qt's view of one screen (QScreen); gathered on the main thread.
struct ScreenFacts {
    QString name;
    QRect geometry;               // device-independent pixels (points)
    double devicePixelRatio = 1;
    double refreshRate = 0;       // Hz as Qt reports it (not on X11); may be 0 or not finite
    double physicalWidthMm = 0;   // as Qt reports it (not on X11)
    double physicalHeightMm = 0;
    int depth = 0;                // bits per pixel
    bool primary = false;
};

// The DRM connectors under <sysRoot>/class/drm, sorted by name.
std::vector<DrmConnectorFacts> readDrmConnectors(const QString &sysRoot);

// RandR outputs of the X server `displayName`, over a connection of our own (kept open,
// used from one thread at a time). nullptr when Corvane was built without XRandR.
class XRandrReader {
public:
    virtual ~XRandrReader() = default;
    virtual std::optional<std::vector<XOutputFacts>> read() = 0;
};
std::unique_ptr<XRandrReader> makeXRandrReader(const QString &displayName);

// DRM connectors plus, when `x11DisplayName` is set, the X server's RandR outputs.
std::unique_ptr<DisplaySource> makeLinuxDisplaySource(const QString &sysRoot = QStringLiteral("/sys"),
                                                      const QString &x11DisplayName = {});

// The X display Qt is connected to, or empty when Qt is not on xcb (main thread).
QString qtX11DisplayName();
// Every QScreen, in Qt's order; none on the offscreen and minimal platforms (main thread).
std::vector<ScreenFacts> currentScreenFacts();

} // namespace corvane
