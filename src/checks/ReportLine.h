#pragma once
// One label–value row of a test's result card, and the result rows of the CPU and GPU runs.
#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class CPUStresser;

struct ReportLine {
    Q_GADGET
    QML_VALUE_TYPE(reportLine)
    Q_PROPERTY(QString id READ idText CONSTANT)
    Q_PROPERTY(QString label MEMBER label)
    Q_PROPERTY(QString value MEMBER value)
    Q_PROPERTY(QColor color MEMBER color)
public:
    QUuid id = QUuid::createUuid();
    QString label;
    QString value;
    QColor color;
    QString idText() const { return id.toString(QUuid::WithoutBraces).toUpper(); }
};

// A finished CPU run as the screen saw it.
struct CpuRunFigures {
    QList<double> hashHistory;
    quint64 totalHashes = 0;
    int threads = 0;
    double elapsed = 0;
    int processors = 0;
};

// A finished GPU run: the samples and what the monitors said when the card was built.
struct GpuRunFigures {
    QList<double> utilSamples;
    QList<double> fpsSamples;
    bool utilizationMeasured = true;
    double refreshHz = 0;
    quint64 vramUsedBytes = 0;
    QString gpuName;
};

namespace StressRules {
QString cpuVerdict(double meanMHs);
QColor cpuVerdictColor(double meanMHs);
QString gpuVerdict(double peakPct, double meanFps, bool utilizationMeasured = true);
QColor gpuVerdictColor(double peakPct, bool utilizationMeasured = true);
QList<ReportLine> cpuLines(const CpuRunFigures &run);
QList<ReportLine> gpuLines(const GpuRunFigures &run);
QString cpuSubtitle(int threads, double elapsed);
QString gpuSubtitle(double elapsed);
// The memory-pressure pill: 4 critical, 2 warning, anything else normal.
QString pressureWord(quint32 level);
QColor pressureColor(quint32 level);
// Millions in integer arithmetic, rounded down: "2 M".
QString millionsText(quint64 count);
// Figures that may be missing (0: the system gave none) read "—".
QString hertzText(double hz);
QString framesText(double fps);
QString vramText(quint64 bytes);
} // namespace StressRules

// The rules above for the screens.
class StressRulesBridge : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(StressRules)
    QML_SINGLETON
public:
    using QObject::QObject;
    // The result rows of a finished run of the engine.
    Q_INVOKABLE QVariantList cpuLines(corvane::CPUStresser *stresser) const;
    Q_INVOKABLE QString cpuSubtitle(int threads, double elapsed) const { return StressRules::cpuSubtitle(threads, elapsed); }
    Q_INVOKABLE QString millions(double count) const;
    Q_INVOKABLE QString pressureWord(int level) const { return StressRules::pressureWord(static_cast<quint32>(level)); }
    Q_INVOKABLE QColor pressureColor(int level) const { return StressRules::pressureColor(static_cast<quint32>(level)); }
    Q_INVOKABLE QString hertz(double hz) const { return StressRules::hertzText(hz); }
    Q_INVOKABLE QString frames(double fps) const { return StressRules::framesText(fps); }
    Q_INVOKABLE QString vram(double bytes) const;
    static QVariantList toVariant(const QList<ReportLine> &lines);
};

} // namespace corvane
