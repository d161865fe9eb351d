#include "common/StoredSettings.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QEvent>

namespace corvane {

StoredSettings::StoredSettings(QObject *parent) : QSettings(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &StoredSettings::flush);
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &StoredSettings::flush);
}

StoredSettings::~StoredSettings() { flush(); }

void StoredSettings::write(const QString &key, const QVariant &value)
{
    const QVariant old = QSettings::value(key);
    if (old.isValid() && old == value && old.metaType() == value.metaType())
        return;
    setValue(key, value);
    m_quiet.start(); // every write restarts the quiet time
}

bool StoredSettings::readBool(const QString &key, bool fallback) const
{
    const QVariant v = value(key);
    return v.isValid() ? v.toBool() : fallback;
}

double StoredSettings::readDouble(const QString &key, double fallback) const
{
    bool ok = false;
    const double v = value(key).toDouble(&ok);
    return ok ? v : fallback;
}

void StoredSettings::flush()
{
    m_quiet.stop();
    sync();
    if (status() != QSettings::NoError)
        qCWarning(lcState).noquote() << "settings could not be written to" << fileName()
                                     << (status() == QSettings::AccessError ? "(access error)" : "(format error)");
}

bool StoredSettings::event(QEvent *e)
{
    // QSettings writes the file on the next turn of the event loop after any change; that
    // write waits for the quiet time instead.
    if (e->type() == QEvent::UpdateRequest) {
        if (!m_quiet.isActive())
            m_quiet.start();
        return true;
    }
    return QSettings::event(e);
}

} // namespace corvane
