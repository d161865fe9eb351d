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
    // Basic block screen size; absent when not given (a 0 byte), when it is a placeholder (an
    // aspect ratio such as 16 x 9 or 160 x 90, the pixel count over ten, a token under 5 cm) or
    // when the timing's size below contradicts it and is the sounder of the two.
    std::optional<int> widthCm;
    std::optional<int> heightCm;
    // Image size of the first real detailed timing (pixel clock of 10 MHz or more, active
    // pixels set) that gives one; absent when it is a placeholder (under 50 mm, the pixel count,
    // an aspect ratio such as 1600 x 900) or, beside centimetres it disagrees with, when those
    // are sound or it is not shaped like its pixels.
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
