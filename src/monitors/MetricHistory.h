#pragma once
// The last 90 samples of one metric, oldest first. Written on the main thread only.
#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class MetricHistory : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("owned by a monitor")
    Q_PROPERTY(QList<double> samples READ samples NOTIFY samplesChanged)
    Q_PROPERTY(int capacity READ capacity CONSTANT)
public:
    static constexpr int kCapacity = 90;

    explicit MetricHistory(QObject *parent = nullptr) : QObject(parent) {}

    const QList<double> &samples() const { return m_samples; }
    int capacity() const { return kCapacity; }

    // Appends, then drops from the front so the last 90 remain. Announces once per call.
    void push(double value)
    {
        m_samples.append(value);
        if (m_samples.size() > kCapacity)
            m_samples.remove(0, m_samples.size() - kCapacity);
        emit samplesChanged();
    }

signals:
    void samplesChanged();

private:
    QList<double> m_samples;
};

} // namespace corvane
