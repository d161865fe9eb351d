#include "platform/linux/PulseSourceState.h"

namespace corvane::pulse {

QList<Device> buildDevices(const QList<SourceRecord> &sources, const QList<OutputRecord> &outputs)
{
    QList<Device> out;
    out.reserve(sources.size());
    for (const SourceRecord &s : sources) {
        Device d;
        d.name = s.name;
        d.description = s.description;
        d.hasInput = !s.isMonitor && s.channels > 0;
        d.running = s.stateRunning;
        for (const OutputRecord &o : outputs)
            if (o.sourceIndex == s.index && !o.corked)
                d.running = true;
        out.append(d);
    }
    return out;
}

Changes diff(const QList<Device> &before, const QList<Device> &after)
{
    Changes c;
    if (before.size() != after.size()) {
        c.listChanged = true;
        return c;
    }
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i].name != after[i].name || before[i].hasInput != after[i].hasInput) {
            c.listChanged = true;
            c.runningChanged.clear();
            return c;
        }
        if (before[i].running != after[i].running)
            c.runningChanged.append(after[i].name);
    }
    return c;
}

} // namespace corvane::pulse
