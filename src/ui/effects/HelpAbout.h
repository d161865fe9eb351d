#pragma once
// What the help and about card reads: the application's identity, the key caps of its
// shortcuts as this platform writes them, and the links it opens.
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace corvane {

class HelpAbout : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;

    // Read on every call; "—" when the application does not say.
    Q_INVOKABLE QString version() const;
    Q_INVOKABLE QString build() const;
    Q_INVOKABLE QString bundleIdentifier() const;

    // "Ctrl+Shift+D" -> {"Ctrl", "Shift", "D"} in this platform's words.
    Q_INVOKABLE QStringList keyCaps(const QString &portableSequence) const;

    // A haptic tap, then the link handed to the desktop when it is a well-formed https:
    // or mailto: address; anything else opens nothing. True when it was handed over.
    Q_INVOKABLE bool openLink(const QString &target) const;
    static std::optional<QUrl> safeLinkUrl(const QString &target);
};

} // namespace corvane
