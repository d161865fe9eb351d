#pragma once
// The "start at login" switch; its state always comes back from the system.
#include "platform/LoginItem.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <memory>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class LaunchAtLogin : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY isEnabledChanged)
    Q_PROPERTY(QString lastError READ lastErrorText NOTIFY lastErrorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY lastErrorChanged)
public:
    LaunchAtLogin(std::unique_ptr<LoginItem> item, QObject *parent = nullptr);
    ~LaunchAtLogin() override;
    static LaunchAtLogin *shared();
    static LaunchAtLogin *create(QQmlEngine *, QJSEngine *);

    bool isEnabled() const { return m_isEnabled; }
    const std::optional<QString> &lastError() const { return m_lastError; }
    QString lastErrorText() const { return m_lastError.value_or(QString()); }
    bool hasError() const { return m_lastError.has_value(); }

    Q_INVOKABLE void setEnabled(bool enabled);

signals:
    void isEnabledChanged();
    void lastErrorChanged();

private:
    void setIsEnabled(bool v);
    void setLastError(std::optional<QString> e);
    std::unique_ptr<LoginItem> m_item;
    bool m_isEnabled = false;
    std::optional<QString> m_lastError;
};

} // namespace corvane
