#pragma once
// Records what the window modes ask of the window manager.
#include "platform/WindowSystem.h"

#include <QStringList>

namespace corvane::test {

class RecordingWindowSystem : public WindowSystem {
public:
    QStringList calls;
    void makeBarPanel(QWindow *) override { calls << "panel"; }
    void setDesktopPinned(QWindow *, bool pinned) override { calls << (pinned ? "pin" : "unpin"); }
    void activate(QWindow *) override { calls << "activate"; }
};

} // namespace corvane::test
