#pragma once
// The test screens' derived values, for QML ("CheckRules").
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

namespace PixelRules {
// Index of the first screen whose output name matches; -1 when none does.
int screenIndexFor(const QStringList &screenNames, const QString &outputName);
// Positions 0, spacing, 2·spacing, … up to and including `extent`.
QList<double> gridLines(double extent, double spacing = 32);
} // namespace PixelRules

class CheckRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE double ssdGaugeMax(double peakRead, double peakWrite) const;
    Q_INVOKABLE QString ssdVerdict(double avgRead, double avgWrite) const;
    Q_INVOKABLE QString ssdVerdictRole(double avgRead, double avgWrite) const;
    Q_INVOKABLE double speedGaugeMax(double peakDown, double peakUp) const;
    Q_INVOKABLE QString speedVerdict(double peakDown) const;
    Q_INVOKABLE QString speedVerdictRole(double peakDown) const;
    Q_INVOKABLE QString jitterText(const QList<double> &downHistory) const;
    Q_INVOKABLE QString noteName(double frequency) const;
    Q_INVOKABLE bool barLit(double level, int index, int bars) const;
    Q_INVOKABLE QString barRole(int index, int bars) const;
    Q_INVOKABLE int screenIndexFor(const QStringList &screenNames, const QString &outputName) const;
    Q_INVOKABLE QVariantList gridLines(double extent) const;
};

} // namespace corvane
