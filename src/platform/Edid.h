#pragma once
// What a display says about itself in its EDID base block.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace corvane {

struct EdidInfo {
    QString vendorId;          // PNP id, e.g. "DEL"; "—" when a letter is outside A–Z
    uint16_t vendorCode = 0;   // the same three letters as the raw big-endian 16-bit field
    uint16_t productCode = 0;
    uint32_t serial = 0;       // numeric serial; 0 when the display gives none
    // Absent when the year lies after next year or the week is neither 0–54 nor 0xFF.
    std::optional<int> yearOfManufacture;
    std::optional<int> modelYear; // given instead of a manufacture date (week 0xFF)
    // Basic block screen size; absent when unknown or an aspect ratio, also one written as
    // centimetres (16 x 9, 160 x 90) that a timing's size contradicts or merely repeats, one
    // under 5 cm a side (1 x 1, 7 x 4), and one beside a timing that gives its pixel count.
    std::optional<int> widthCm;
    std::optional<int> heightCm;
    // Image size of the first real detailed timing (pixel clock of 10 MHz or more, active
    // pixels set); absent when under 50 mm, when it equals the timing's pixel count, or when
    // it disagrees with a real centimetre size. Against centimetres that are a placeholder only
    // when shaped like the timing's pixels and, against a ratio, not that ratio written again.
    std::optional<int> widthMm;
    std::optional<int> heightMm;
    // Display descriptors 0xFC and 0xFF: printable ASCII up to the first other byte.
    std::optional<QString> monitorName;
    std::optional<QString> serialText;
};

// nullopt unless the bytes start with a complete base block whose header and checksum hold.
// `currentYear` bounds the manufacture year (this year when 0).
std::optional<EdidInfo> parseEdid(const QByteArray &bytes, int currentYear = 0);

} // namespace corvane
