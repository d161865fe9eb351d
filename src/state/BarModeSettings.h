#pragma once
// What the Bar Mode strip shows and where: edge, height and one flag per pill, all in settings.
#include "common/StoredSettings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <optional>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class BarModeSettings : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString positionRaw READ positionRaw WRITE setPositionRaw NOTIFY positionRawChanged)
    Q_PROPERTY(double height READ height WRITE setHeight NOTIFY heightChanged)
    Q_PROPERTY(QStringList pills READ pillRawValues CONSTANT)
public:
    enum class Position { top, bottom };

    // The strip's height in points: what the slider offers. Anything else stored under
    // "bar.height" (outside the range, or not a number) reads as the default, so no caller
    // can open a strip that covers the screen or lands off it.
    static constexpr double kHeightMin = 90.0;
    static constexpr double kHeightMax = 220.0;
    static constexpr double kHeightDefault = 140.0;
    static double usableHeight(double h);
    enum class Pill { brand, system, fps, network, storage, disk, battery, thermal, temperature, fans, privacy, uptime, calendar, clock };

    static BarModeSettings *shared();
    static BarModeSettings *create(QQmlEngine *, QJSEngine *);

    static QList<Pill> allPills();
    static QString rawValue(Pill p);
    static std::optional<Pill> pillFromRaw(const QString &raw);
    static QString title(Pill p);
    static QString icon(Pill p);
    static QString key(Pill p);
    static QString rawValue(Position p);
    static std::optional<Position> positionFromRaw(const QString &raw);
    static QString label(Position p);
    // "bottom" is the bottom edge; any other stored text is the top.
    static Position decodePosition(const QString &stored);

    QString positionRaw() const;
    void setPositionRaw(const QString &raw);
    Position position() const { return decodePosition(positionRaw()); }
    double height() const;
    void setHeight(double h);

    bool isVisible(Pill p) const;
    void toggle(Pill p);

    // QML side: pills by raw value.
    QStringList pillRawValues() const;
    Q_INVOKABLE bool isVisibleRaw(const QString &pill) const;
    Q_INVOKABLE void toggleRaw(const QString &pill);
    Q_INVOKABLE QString pillTitle(const QString &pill) const;
    Q_INVOKABLE QString pillIcon(const QString &pill) const;

    // Writes that haven't reached the disk yet go now.
    void flush() { m_settings.flush(); }

signals:
    void positionRawChanged();
    void heightChanged();
    // A pill's flag changed: lets bound views re-read the flags.
    void pillsChanged();

private:
    explicit BarModeSettings(QObject *parent);

    StoredSettings m_settings;
};

} // namespace corvane
