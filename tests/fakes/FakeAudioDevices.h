#pragma once
#include "fakes/FakeCameraDevices.h"

namespace corvane::test {

class FakeAudioDevices final : public FakeDeviceRegistry<AudioDevices> {
public:
    QMap<QString, bool> input; // missing: layout unreadable
    std::optional<bool> hasInputChannels(const QString &d) override
    {
        if (!input.contains(d))
            return std::nullopt;
        return input.value(d);
    }
};

} // namespace corvane::test
