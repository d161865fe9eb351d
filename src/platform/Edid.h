#pragma once
// What a display says about itself in its EDID base block.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace corvane {

struct EdidInfo {
    QString vendorId;          // PNP id, e.g. "DEL"
    uint16_t vendorCode = 0;   // the same three letters as the raw big-endian 16-bit field
    uint16_t productCode = 0;
    uint32_t serial = 0;       // numeric serial; 0 when the display gives none
    std::optional<int> yearOfManufacture;
    std::optional<int> modelYear; // given instead of a manufacture date (week 0xFF)
    std::optional<int> widthCm;   // basic block screen size; absent when unknown or an aspect ratio
    std::optional<int> heightCm;
    std::optional<int> widthMm;   // image size of the first detailed timing
    std::optional<int> heightMm;
    std::optional<QString> monitorName;  // display descriptor 0xFC
    std::optional<QString> serialText;   // display descriptor 0xFF
};

// nullopt unless the bytes start with a complete base block whose header and checksum hold.
std::optional<EdidInfo> parseEdid(const QByteArray &bytes);

} // namespace corvane
