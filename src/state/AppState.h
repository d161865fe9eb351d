#pragma once
// The hub every surface reads: owns the long-lived monitors for the whole run.
#include "monitors/NetworkMonitor.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class AppState : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(corvane::SystemMonitor *system READ system CONSTANT)
    Q_PROPERTY(corvane::NetworkMonitor *network READ network CONSTANT)
    Q_PROPERTY(corvane::StorageMonitor *storage READ storage CONSTANT)
    Q_PROPERTY(corvane::ProcessMonitor *processes READ processes CONSTANT)
public:
    // Created by main() after the application object and destroyed before it.
    explicit AppState(QObject *parent = nullptr);
    ~AppState() override;
    static AppState *shared();
    static AppState *create(QQmlEngine *, QJSEngine *);

    SystemMonitor *system() const { return m_system; }
    NetworkMonitor *network() const { return m_network; }
    StorageMonitor *storage() const { return m_storage; }
    ProcessMonitor *processes() const { return m_processes; }

private:
    SystemMonitor *m_system;
    NetworkMonitor *m_network;
    StorageMonitor *m_storage;
    ProcessMonitor *m_processes;
};

} // namespace corvane
