#pragma once
// Rate texts and the temperature colour shared by every screen.
#include <QColor>
#include <QString>

#include <cstdint>

namespace corvane {

// Bits per second in steps of 1000: "12.3 Mbps".
QString bitRateText(uint64_t bytesPerSecond);
// Bytes per second in steps of 1024: "4.0 MB/s".
QString byteRateText(uint64_t bytesPerSecond);
// Good below 55 °C, warning below 80 °C, critical from 80 °C and for NaN; current theme.
QColor temperatureColor(double celsius);

} // namespace corvane
