#pragma once
// Receives NetworkManager's change signals for the Wi-Fi link reader and turns the ones that
// can change the link's security into a new generation number. Lives on the application's
// thread; the reader only reads the number.
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <cstdint>

namespace corvane {

class NetworkManagerSignals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    uint64_t generation() const { return m_generation.load(std::memory_order_acquire); }

public slots:
    // org.freedesktop.DBus.Properties.PropertiesChanged of a device or an access point.
    void propertiesChanged(const QString &iface, const QVariantMap &changed, const QStringList &invalidated)
    {
        static const QStringList watched = {QStringLiteral("ActiveAccessPoint"), QStringLiteral("Flags"),
                                            QStringLiteral("WpaFlags"), QStringLiteral("RsnFlags"),
                                            QStringLiteral("HwAddress")};
        Q_UNUSED(iface);
        for (const QString &name : watched)
            if (changed.contains(name) || invalidated.contains(name)) {
                bump();
                return;
            }
    }
    // NetworkManager started, stopped or restarted: everything it said before is void.
    void ownerChanged(const QString &, const QString &, const QString &) { bump(); }

private:
    void bump() { m_generation.fetch_add(1, std::memory_order_acq_rel); }
    std::atomic<uint64_t> m_generation{1};
};

} // namespace corvane
