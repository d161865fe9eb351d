#include "platform/Edid.h"

#include <QDate>

#include <cstdlib>
#include <initializer_list>

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

constexpr int kRatios[][2] = {{4, 3}, {5, 4}, {3, 2}, {16, 9}, {16, 10}, {15, 9}, {5, 3},
                               {21, 9}, {64, 27}, {43, 18}, {32, 9}, {32, 10}};

// A size that is an aspect ratio's terms times one of `scales` (16 x 9, 160 x 90, ...).
bool spellsRatio(int w, int h, std::initializer_list<int> scales)
{
    for (const auto &r : kRatios)
        for (int k : scales)
            if (w == r[0] * k && h == r[1] * k)
                return true;
    return false;
}

// Centimetre bytes that spell an aspect ratio instead of a size. EDID 1.4 encodes a ratio with
// one of the two bytes 0; some displays write the ratio's terms (or ten times them) instead.
bool isAspectRatio(int w, int h) { return spellsRatio(w, h, {1, 10}); }

// A timing size that writes the centimetres' ratio once more (160 x 90 mm beside 160 x 90 cm,
// 1600 x 900 mm beside 16 x 9 cm): a second placeholder, not a measurement.
bool repeatsRatio(int wMm, int hMm, int wCm, int hCm)
{
    return spellsRatio(wMm, hMm, {1, 10, 100}) && wMm * hCm == hMm * wCm;
}

// The aspect ratios that displays write in place of a size, in centimetres or ten times them.
// With a timing that repeats them in millimetres (1600 x 900 mm for 160 x 90 cm) the two
// agree only because both are the same placeholder.
bool isPlaceholderSize(int wCm, int hCm)
{
    static constexpr int sizes[][2] = {{16, 9}, {16, 10}, {4, 3}, {160, 90}, {160, 100}};
    for (const auto &s : sizes)
        if (wCm == s[0] && hCm == s[1])
            return true;
    return false;
}

// An image size shaped like the timing's active pixels (square pixels, within 15 %).
bool sameShape(int wMm, int hMm, int wPx, int hPx)
{
    if (wPx <= 0 || hPx <= 0)
        return false;
    const double size = double(wMm) / hMm, pixels = double(wPx) / hPx;
    const double q = size > pixels ? size / pixels : pixels / size;
    return q <= 1.15;
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
    // Both set: a size; one of them 0: an aspect ratio or unknown. Under 5 cm a side (1 x 1,
    // 2 x 1, 7 x 4) they are a placeholder: no screen that speaks EDID is that small.
    bool cmPlaceholder = false;
    if (at(b, 21) != 0 && at(b, 22) != 0) {
        if (at(b, 21) < 5 || at(b, 22) < 5) {
            cmPlaceholder = true;
        } else {
            e.widthCm = at(b, 21);
            e.heightCm = at(b, 22);
        }
    }
    std::optional<int> timingW, timingH;   // image size of the first real timing, as written
    int timingPixW = 0, timingPixH = 0;     // and its active pixels
    for (int off = 54; off < 126; off += 18) {
        if (at(b, off) != 0 || at(b, off + 1) != 0) {
            if (!isDetailedTiming(b, off))
                continue;
            if (!timingW) {
                const int w = at(b, off + 12) | (at(b, off + 14) & 0xf0) << 4;
                const int h = at(b, off + 13) | (at(b, off + 14) & 0x0f) << 8;
                if (w > 0 && h > 0) {
                    timingW = w;
                    timingH = h;
                    timingPixW = at(b, off + 2) | (at(b, off + 4) & 0xf0) << 4;
                    timingPixH = at(b, off + 5) | (at(b, off + 7) & 0xf0) << 4;
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
    // too small for any screen, is a misread timing. Except when the centimetres are only a
    // placeholder (an aspect ratio such as 16 x 9 or 160 x 90, or a token 1 x 1): then a timing
    // size of the same shape as its pixels wins, unless it only writes the same ratio again.
    // Some panels write their active pixels as millimetres (1920 x 1080 mm): no size at all.
    if (timingW) {
        const int tw = *timingW, th = *timingH;
        const bool pixelCount = tw == timingPixW && th == timingPixH;
        const bool usable = tw >= 50 && th >= 50 && !pixelCount;
        const bool sound = usable && sameShape(tw, th, timingPixW, timingPixH);
        if (!e.widthCm) {
            if (cmPlaceholder ? sound : usable) {
                e.widthMm = tw;
                e.heightMm = th;
            }
        } else {
            const int cw = *e.widthCm, ch = *e.heightCm;
            const bool disagrees = std::abs(tw - cw * 10) > 10 || std::abs(th - ch * 10) > 10;
            const bool repeats = tw == cw * 10 && th == ch * 10;
            if ((repeats && isPlaceholderSize(cw, ch)) || (pixelCount && !disagrees)) {
                e.widthCm.reset();
                e.heightCm.reset();
            } else if (disagrees && isAspectRatio(cw, ch)) {
                e.widthCm.reset();
                e.heightCm.reset();
                if (sound && !repeatsRatio(tw, th, cw, ch)) {
                    e.widthMm = tw;
                    e.heightMm = th;
                }
            } else if (usable && !disagrees) {
                e.widthMm = tw;
                e.heightMm = th;
            }
        }
    }
    return e;
}

} // namespace corvane
