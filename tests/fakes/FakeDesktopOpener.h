#pragma once
#include "platform/DesktopOpener.h"

#include <QList>

namespace corvane::test {

// Records what it was asked to open; `opens` false stands for a desktop without a launcher.
class FakeDesktopOpener final : public DesktopOpener {
public:
    bool opens = true;
    QList<QUrl> asked;

    bool open(const QUrl &url) override
    {
        asked << url;
        return opens;
    }
};

} // namespace corvane::test
