#pragma once
// The sound server's sources reduced to what the microphone monitor needs, and what
// changed between two reads (which decides the listeners to call).
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace corvane::pulse {

struct SourceRecord {
    uint32_t index = 0;
    QString name;
    QString description;
    bool isMonitor = false; // the monitor of a sink: output, not a microphone
    uint8_t channels = 0;
    bool stateRunning = false;
};

struct OutputRecord {
    uint32_t sourceIndex = 0;
    bool corked = false;
};

struct Device {
    QString name; // the server's stable source name
    QString description;
    bool hasInput = false;
    bool running = false;
    bool operator==(const Device &) const = default;
};

// A source runs when the server says so or when an uncorked recording stream is attached.
QList<Device> buildDevices(const QList<SourceRecord> &sources, const QList<OutputRecord> &outputs);

struct Changes {
    bool listChanged = false;       // sources added, removed or re-ordered
    QStringList runningChanged;     // sources whose running flag flipped (list unchanged)
};
Changes diff(const QList<Device> &before, const QList<Device> &after);

} // namespace corvane::pulse
