#pragma once
// The long-lived settings object of one store. A write lands in memory at once, where every
// settings object of this process reads it; the disk follows once writes have been quiet
// for a moment, so dragging a slider costs one file write instead of one per step. Pending
// writes reach the disk when the store goes away or the application quits.
#include <QSettings>
#include <QTimer>

namespace corvane {

class StoredSettings : public QSettings {
    Q_OBJECT
public:
    static constexpr int kQuietMs = 500;

    explicit StoredSettings(QObject *parent = nullptr);
    ~StoredSettings() override;

    // Stores `value` under `key` (no disk write when it is already the stored value).
    void write(const QString &key, const QVariant &value);
    // A stored boolean / finite-or-not double, `fallback` when absent or unreadable.
    bool readBool(const QString &key, bool fallback) const;
    double readDouble(const QString &key, double fallback) const;

    // Writes pending changes to disk now.
    void flush();
    bool hasPendingWrite() const { return m_quiet.isActive(); }

protected:
    bool event(QEvent *e) override;

private:
    QTimer m_quiet;
};

} // namespace corvane
