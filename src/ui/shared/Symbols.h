#pragma once
// Symbol names used across the interface resolve to glyphs of the embedded icon font.
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class Symbols : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
public:
    explicit Symbols(QObject *parent = nullptr);

    // The glyph for a symbol name; a plain dot for a name the table does not know
    // (never a missing-glyph box).
    Q_INVOKABLE QString glyph(const QString &name) const;
    Q_INVOKABLE bool known(const QString &name) const;
    QString fontFamily() const;

    static QString glyphFor(const QString &name);
    static bool isKnown(const QString &name);
    // Registers the embedded icon font once; returns its family name.
    static QString ensureFontLoaded();
};

} // namespace corvane
