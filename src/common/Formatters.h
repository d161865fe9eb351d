#pragma once
// The texts of numbers every screen and the report share: whole numbers, byte counts, rates,
// uptimes and the clock.
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cstdint>

namespace corvane {

// "%lld" of the value truncated toward zero; "—" when it is not a finite number, the nearest
// end of the 64-bit range beyond it.
QString wholeText(double value);

// A size in decimal multiples, as file sizes are counted: "999 bytes", "1 KB", "1.5 GB",
// "16 GB". One decimal at most and none on a whole number, the locale's decimal separator,
// the byte word in Romanian under a Romanian locale. Counts from 2^63 on read as 2^63 − 1.
QString byteCountText(uint64_t bytes, const QLocale &locale = QLocale());

// Bits per second in steps of 1000: "12.3 Mbps".
QString bitRateText(uint64_t bytesPerSecond);
// Bytes per second in steps of 1024: "4.0 MB/s".
QString byteRateText(uint64_t bytesPerSecond);

// Uptimes from whole seconds (negative and NaN read as 0):
// the strip's "59m", "23h 59m", "1z 1h";
QString uptimeString(double seconds);
// the dashboard's "23h 59m", then "1z 0h 0m" from one day on;
QString dashboardUptimeText(double seconds);
// the report's "0z 23h 59m", all three parts always.
QString uptimeText(double seconds);

// The locale's short time (its own 12/24-hour choice and separators) with seconds.
QString clockTime(const QDateTime &at, const QLocale &locale = QLocale());
// Short weekday, day and month in the locale's order: "Wed, Mar 6", "Wed 6 Mar".
QString clockDate(const QDateTime &at, const QLocale &locale = QLocale());
// The same with the full weekday and month: "Wednesday, March 6".
QString dashboardClockDate(const QDateTime &at, const QLocale &locale = QLocale());

} // namespace corvane
