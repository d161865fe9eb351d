#pragma once
// Records what the window modes ask of the window manager.
#include "platform/WindowSystem.h"

#include <QStringList>

namespace corvane::test {

class RecordingWindowSystem : public WindowSystem {
public:
    QStringList calls;
    QList<QRect> otherPanels;
    void makeBarPanel(QWindow *) override { calls << "panel"; }
    void setDesktopPinned(QWindow *, bool pinned) override { calls << (pinned ? "pin" : "unpin"); }
    void activate(QWindow *) override { calls << "activate"; }
    QList<QRect> panels() override { return otherPanels; }
};

} // namespace corvane::test
