#include "platform/Edid.h"

#include <QDate>

#include <cstdlib>

namespace corvane {
namespace {

constexpr int kBlock = 128;

uint8_t at(const QByteArray &b, int i) { return static_cast<uint8_t>(b[i]); }

// Descriptor text: up to 13 bytes, ended by a line feed, padded with spaces. Any other byte
// outside printable ASCII ends it too: dropping it would glue text that is not in the EDID.
std::optional<QString> descriptorText(const QByteArray &b, int off)
{
    QString s;
    for (int i = off + 5; i < off + 18; ++i) {
        const uint8_t c = at(b, i);
        if (c < 0x20 || c >= 0x7f)
            break;
        s.append(QLatin1Char(static_cast<char>(c)));
    }
    s = s.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    return s;
}


// A detailed timing, not a display descriptor or padding: EDID 1.0/1.1 panels fill unused
// slots with 0x01, which reads as a 2.57 MHz "timing" of 1 × 257 mm.
bool isDetailedTiming(const QByteArray &b, int off)
{
    const int clock10kHz = at(b, off) | at(b, off + 1) << 8;
    const int hActive = at(b, off + 2) | (at(b, off + 4) & 0xf0) << 4;
    const int vActive = at(b, off + 5) | (at(b, off + 7) & 0xf0) << 4;
    return clock10kHz >= 1000 && hActive > 0 && vActive > 0;
}

} // namespace

std::optional<EdidInfo> parseEdid(const QByteArray &b, int currentYear)
{
    static constexpr uint8_t header[8] = {0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00};
    if (b.size() < kBlock)
        return std::nullopt;
    for (int i = 0; i < 8; ++i)
        if (at(b, i) != header[i])
            return std::nullopt;
    uint8_t sum = 0;
    for (int i = 0; i < kBlock; ++i)
        sum = static_cast<uint8_t>(sum + at(b, i));
    if (sum != 0)
        return std::nullopt; // damaged: better no data than wrong data

    EdidInfo e;
    e.vendorCode = static_cast<uint16_t>(at(b, 8) << 8 | at(b, 9));
    for (int shift : {10, 5, 0}) {
        const int letter = (e.vendorCode >> shift) & 0x1f;
        if (letter < 1 || letter > 26) {
            e.vendorId = QStringLiteral("—");
            break;
        }
        e.vendorId.append(QLatin1Char(static_cast<char>('A' + letter - 1)));
    }
    e.productCode = static_cast<uint16_t>(at(b, 10) | at(b, 11) << 8);
    e.serial = static_cast<uint32_t>(at(b, 12)) | static_cast<uint32_t>(at(b, 13)) << 8
        | static_cast<uint32_t>(at(b, 14)) << 16 | static_cast<uint32_t>(at(b, 15)) << 24;
    const uint8_t week = at(b, 16);
    const int year = 1990 + at(b, 17);
    if (currentYear <= 0)
        currentYear = QDate::currentDate().year();
    // A year still to come or a week no calendar has is junk, not a date.
    if (year <= currentYear + 1) {
        if (week == 0xff)
            e.modelYear = year;
        else if (week <= 54)
            e.yearOfManufacture = year;
    }
    // Both set: a size; one of them 0: an aspect ratio or unknown.
    if (at(b, 21) != 0 && at(b, 22) != 0) {
        e.widthCm = at(b, 21);
        e.heightCm = at(b, 22);
    }
    for (int off = 54; off < 126; off += 18) {
        if (at(b, off) != 0 || at(b, off + 1) != 0) {
            if (!isDetailedTiming(b, off))
                continue;
            if (!e.widthMm) {
                const int w = at(b, off + 12) | (at(b, off + 14) & 0xf0) << 4;
                const int h = at(b, off + 13) | (at(b, off + 14) & 0x0f) << 8;
                if (w > 0 && h > 0) {
                    e.widthMm = w;
                    e.heightMm = h;
                }
            }
            continue;
        }
        const uint8_t tag = at(b, off + 3);
        if (tag == 0xfc && !e.monitorName)
            e.monitorName = descriptorText(b, off);
        else if (tag == 0xff && !e.serialText)
            e.serialText = descriptorText(b, off);
    }
    // The centimetre bytes are coarse but rarely wrong; a millimetre size far from them, or
    // too small for any screen, is a misread timing.
    if (e.widthMm) {
        const bool tooSmall = *e.widthMm < 50 || *e.heightMm < 50;
        const bool disagrees = e.widthCm
            && (std::abs(*e.widthMm - *e.widthCm * 10) > 10 || std::abs(*e.heightMm - *e.heightCm * 10) > 10);
        if (tooSmall || disagrees) {
            e.widthMm.reset();
            e.heightMm.reset();
        }
    }
    return e;
}

} // namespace corvane
