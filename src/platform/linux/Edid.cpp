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

// Centimetre bytes that spell an aspect ratio's terms, or ten times them (16 x 9, 40 x 30):
// a ratio or a real size; only a timing of another size tells them apart.
bool isAspectRatio(int w, int h)
{
    for (const auto &r : kRatios)
        for (int k : {1, 10})
            if (w == r[0] * k && h == r[1] * k)
                return true;
    return false;
}

// What a display that knows only its shape writes, in millimetres: a ratio with a round height
// of 9 or 10 tens or hundreds (160 x 90, 1600 x 900, 1200 x 900, 1600 x 1000; centimetres
// times ten give 16 x 9 and 160 x 90 cm). No real screen measures exactly that.
bool isShapeOnly(int w, int h)
{
    if (h != 90 && h != 100 && h != 900 && h != 1000)
        return false;
    for (const auto &r : kRatios)
        if (w * r[1] == h * r[0])
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

struct Size {
    int w = 0, h = 0;
};

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
    // Both set: a size; one of them 0: an aspect ratio or not given.
    std::optional<Size> cm;
    if (at(b, 21) != 0 && at(b, 22) != 0)
        cm = Size{at(b, 21) * 10, at(b, 22) * 10};
    std::optional<Size> mm; // image size of the first real timing that gives one
    Size pixels;            // that timing's active pixels, else the first real timing's
    for (int off = 54; off < 126; off += 18) {
        if (at(b, off) != 0 || at(b, off + 1) != 0) {
            if (!isDetailedTiming(b, off))
                continue;
            const Size px{at(b, off + 2) | (at(b, off + 4) & 0xf0) << 4,
                          at(b, off + 5) | (at(b, off + 7) & 0xf0) << 4};
            const int w = at(b, off + 12) | (at(b, off + 14) & 0xf0) << 4;
            const int h = at(b, off + 13) | (at(b, off + 14) & 0x0f) << 8;
            if (!mm && w > 0 && h > 0) {
                mm = Size{w, h};
                pixels = px;
            } else if (pixels.w == 0) {
                pixels = px;
            }
            continue;
        }
        const uint8_t tag = at(b, off + 3);
        if (tag == 0xfc && !e.monitorName)
            e.monitorName = descriptorText(b, off);
        else if (tag == 0xff && !e.serialText)
            e.serialText = descriptorText(b, off);
    }
    // Displays that do not know their size write a placeholder in either field: their shape
    // (16 x 9 cm, 1600 x 900 mm), their pixel count (in millimetres, or a tenth of it in
    // centimetres) or a token under 5 cm; a placeholder is never a size. Two fields that agree
    // within the centimetres' rounding confirm each other, unless both hold the same placeholder.
    // When they disagree the centimetres, coarse but rarely wrong, win unless they are a
    // placeholder or a ratio's terms, or are shaped unlike the pixels (portrait beside a
    // landscape timing) while the timing is shaped like them; the timing stands only when so shaped.
    const auto placeholder = [&](Size s) {
        const bool pixelCount = std::abs(s.w - pixels.w) < 10 && std::abs(s.h - pixels.h) < 10;
        return s.w < 50 || s.h < 50 || isShapeOnly(s.w, s.h) || pixelCount;
    };
    const auto shaped = [&](Size s) { return sameShape(s.w, s.h, pixels.w, pixels.h); };
    bool showCm = false, showMm = false;
    if (cm && mm) {
        if (std::abs(mm->w - cm->w) <= 10 && std::abs(mm->h - cm->h) <= 10) {
            showCm = showMm = !placeholder(*mm);
        } else {
            const bool mmSound = !placeholder(*mm) && shaped(*mm);
            showCm = !placeholder(*cm) && !isAspectRatio(cm->w / 10, cm->h / 10)
                && (shaped(*cm) || !mmSound);
            showMm = !showCm && mmSound;
        }
    } else {
        showCm = cm && !placeholder(*cm);
        showMm = mm && !placeholder(*mm);
    }
    if (showCm) {
        e.widthCm = cm->w / 10;
        e.heightCm = cm->h / 10;
    }
    if (showMm) {
        e.widthMm = mm->w;
        e.heightMm = mm->h;
    }
    return e;
}

} // namespace corvane
