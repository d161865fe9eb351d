#pragma once
// A screen's own system monitor (the hub's instance is shared by every surface): the CPU
// stress screen watches the load through one that lives and dies with its sheet.
#include "monitors/SystemMonitor.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class PrivateSystemMonitor : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(corvane::SystemMonitor *monitor READ monitor CONSTANT)
public:
    explicit PrivateSystemMonitor(QObject *parent = nullptr) : QObject(parent), m_monitor(new SystemMonitor(this)) {}
    SystemMonitor *monitor() const { return m_monitor; }

private:
    SystemMonitor *m_monitor;
};

} // namespace corvane
