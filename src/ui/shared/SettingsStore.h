#pragma once
// The user's stored preferences that the main window's screens edit, with their defaults,
// plus the few formatting rules those screens need from C++.
#include "common/StoredSettings.h"

#include <QColor>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class SettingsStore : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(double refreshRate READ refreshRate WRITE setRefreshRate NOTIFY refreshRateChanged)
    Q_PROPERTY(double bgIntensity READ bgIntensity WRITE setBgIntensity NOTIFY bgIntensityChanged)
    Q_PROPERTY(bool showParticles READ showParticles WRITE setShowParticles NOTIFY showParticlesChanged)
    Q_PROPERTY(bool didFinishOnboarding READ didFinishOnboarding WRITE setDidFinishOnboarding NOTIFY didFinishOnboardingChanged)
    Q_PROPERTY(double barHeightMin READ barHeightMin CONSTANT)
    Q_PROPERTY(double barHeightMax READ barHeightMax CONSTANT)
    Q_PROPERTY(double barHeightStep READ barHeightStep CONSTANT)
public:
    static inline const QString kRefreshRateKey = QStringLiteral("widget.refreshRate");
    static inline const QString kBgIntensityKey = QStringLiteral("widget.bgIntensity");
    static inline const QString kShowParticlesKey = QStringLiteral("widget.showParticles");
    static inline const QString kDidFinishOnboardingKey = QStringLiteral("didFinishOnboarding");

    explicit SettingsStore(QObject *parent = nullptr);

    // Writes that haven't reached the disk yet go now.
    void flush() { m_settings.flush(); }

    double refreshRate() const;
    void setRefreshRate(double seconds);
    double bgIntensity() const;
    void setBgIntensity(double v);
    bool showParticles() const;
    void setShowParticles(bool on);
    bool didFinishOnboarding() const;
    void setDidFinishOnboarding(bool done);

    double barHeightMin() const;
    double barHeightMax() const;
    double barHeightStep() const;

    // Themes in their fixed order, with each theme's own title and five role colours
    // (accent, good, warning, critical, accentSecondary), whatever the current theme is.
    Q_INVOKABLE QStringList themes() const;
    Q_INVOKABLE QString themeTitle(const QString &raw) const;
    Q_INVOKABLE QVariantList themeSwatches(const QString &raw) const;
    Q_INVOKABLE QColor themeAccent(const QString &raw) const;

    Q_INVOKABLE double snapBarHeight(double h) const;
    Q_INVOKABLE QString barHeightLabel(double h) const;
    Q_INVOKABLE int onboardingStep(int step, int delta) const;
    // The current wall-clock time as the sidebar clock shows it.
    Q_INVOKABLE QString clockText() const;
    Q_INVOKABLE QString shortcutText(const QString &portableSequence, bool spaced = false) const;

signals:
    void refreshRateChanged();
    void bgIntensityChanged();
    void showParticlesChanged();
    void didFinishOnboardingChanged();

private:
    StoredSettings m_settings;
};

} // namespace corvane
