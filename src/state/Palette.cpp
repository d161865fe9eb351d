#include "state/Palette.h"

namespace corvane {

namespace {
QColor rgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b), 1.0f); }
QColor white(double opacity) { return QColor::fromRgbF(1.0f, 1.0f, 1.0f, float(opacity)); }
PaletteGradient diagonal(QColor a, QColor b) { return {a, b, QPointF(0, 0), QPointF(1, 1)}; }
PaletteGradient vertical(QColor a, QColor b) { return {a, b, QPointF(0.5, 0), QPointF(0.5, 1)}; }
} // namespace

QColor Palette::background() { return rgb(0.03, 0.04, 0.07); }
PaletteGradient Palette::backgroundGradient() { return diagonal(rgb(0.03, 0.04, 0.08), rgb(0.06, 0.07, 0.13)); }
QList<QColor> Palette::backgroundColors()
{
    return {rgb(0.18, 0.55, 1.0), rgb(0.55, 0.3, 1.0), rgb(0.1, 0.85, 0.95), rgb(1.0, 0.4, 0.65),
            rgb(0.25, 1.0, 0.7)};
}
QColor Palette::cardFill() { return white(0.045); }
QColor Palette::cardStroke() { return white(0.1); }
QColor Palette::textSecondary() { return white(0.55); }
PaletteGradient Palette::cpuGradient() { return diagonal(rgb(0.4, 0.85, 1.0), rgb(0.3, 0.45, 1.0)); }
PaletteGradient Palette::ramGradient() { return diagonal(rgb(0.5, 1.0, 0.65), rgb(0.1, 0.75, 0.55)); }
PaletteGradient Palette::gpuGradient() { return diagonal(rgb(1.0, 0.8, 0.35), rgb(1.0, 0.45, 0.2)); }
PaletteGradient Palette::displayGradient() { return diagonal(rgb(0.55, 0.5, 1.0), rgb(0.85, 0.3, 1.0)); }
PaletteGradient Palette::downloadGradient() { return vertical(rgb(0.3, 0.85, 1.0), rgb(0.2, 0.55, 1.0)); }
PaletteGradient Palette::uploadGradient() { return vertical(rgb(0.5, 1.0, 0.7), rgb(0.2, 0.8, 0.5)); }
PaletteGradient Palette::diskGradient() { return diagonal(rgb(1.0, 0.55, 0.8), rgb(1.0, 0.3, 0.55)); }
PaletteGradient Palette::batteryGradient() { return vertical(rgb(0.55, 1.0, 0.5), rgb(0.15, 0.85, 0.4)); }
PaletteGradient Palette::alertGradient() { return vertical(rgb(1.0, 0.55, 0.5), rgb(1.0, 0.3, 0.45)); }

QVariantList Palette::backgroundColorsVariant() const
{
    QVariantList out;
    for (const QColor &c : backgroundColors())
        out << QVariant::fromValue(c);
    return out;
}

} // namespace corvane
