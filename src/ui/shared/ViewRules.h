#pragma once
// Small rules of the main window's screens that are easy to get wrong in a view.
#include "state/BarModeSettings.h"

#include <QString>

namespace corvane::ViewRules {

// Bar Mode strip height slider: 90…220 pt in steps of 10.
inline constexpr double kBarHeightMin = BarModeSettings::kHeightMin;
inline constexpr double kBarHeightMax = BarModeSettings::kHeightMax;
inline constexpr double kBarHeightStep = 10.0;
// The nearest step of the store's usable height (outside the range or not finite: 140).
double snapBarHeight(double h);
// "140 pt": the stored height truncated to a whole number; "— pt" when it has none.
QString barHeightLabel(double h);

// The two value sliders of the settings screen.
inline constexpr double kRefreshRateMin = 0.5;
inline constexpr double kRefreshRateMax = 5.0;
inline constexpr double kRefreshRateDefault = 1.0;
inline constexpr double kIntensityMin = 0.0;
inline constexpr double kIntensityMax = 1.0;
inline constexpr double kIntensityDefault = 0.55;
// A stored value outside the slider's range (or not a number) is shown at the nearest end
// (the default when not a number), so the slider and its label always agree.
double clampRefreshRate(double v);
double clampIntensity(double v);

// Onboarding pages 0…2; one step at a time, never past either end.
inline constexpr int kOnboardingPages = 3;
int onboardingStep(int step, int delta);

// The sidebar clock: the locale's short time with seconds added ("HH:mm" -> "HH:mm:ss",
// "h:mm AP" -> "h:mm:ss AP").
QString clockFormat(const QString &localeShortTimeFormat);

// A key combination as this platform writes it ("Ctrl+Shift+D"); `spaced` puts spaces
// around each "+" ("Ctrl + Shift + D").
QString shortcutText(const QString &portableSequence, bool spaced = false);

} // namespace corvane::ViewRules
