#pragma once
// The quick tests' table for the screens: the hub's cards, the dashboard's tiles and the
// sheet that runs a test all read it.
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class QuickTestTable : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The tests the hub's cards and the dashboard's tiles offer, in order, as maps: kind,
    // screen, cardTitle, tileTitle, symbol, badge, blurb, tone, gradient.
    Q_PROPERTY(QVariantList offered READ offered CONSTANT)
public:
    using QObject::QObject;
    QVariantList offered() const;
    // The QML type of the kind's screen, "" for none.
    Q_INVOKABLE QString screen(const QString &kind) const;
};

} // namespace corvane
