#pragma once
// The system management controller's user client: 80-byte key records in, records out.
// On Linux the records are answered from applesmc's sysfs folder; tests answer them from a
// fake key store. Other machines' sensors come through SensorSource.h.
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Commands carried in SmcRecord::data8.
enum SmcCommand : uint8_t {
    kSmcReadKey = 5,
    kSmcKeyAtIndex = 8,
    kSmcKeyInfo = 9,
};

// The record exchanged with the controller. Integer fields in the machine's byte order.
struct SmcRecord {
    uint32_t key = 0;
    std::array<uint8_t, 24> reserved{};
    uint32_t dataSize = 0;
    uint32_t dataType = 0;
    uint8_t dataAttributes = 0;
    std::array<uint8_t, 3> pad1{};
    uint8_t result = 0;
    uint8_t status = 0;
    uint8_t data8 = 0;
    uint8_t pad2 = 0;
    uint32_t data32 = 0;
    std::array<uint8_t, 32> bytes{};
};
static_assert(sizeof(SmcRecord) == 80);
static_assert(offsetof(SmcRecord, dataSize) == 28 && offsetof(SmcRecord, dataType) == 32);
static_assert(offsetof(SmcRecord, result) == 40 && offsetof(SmcRecord, data8) == 42);
static_assert(offsetof(SmcRecord, data32) == 44 && offsetof(SmcRecord, bytes) == 48);

// Four ASCII characters as a big-endian code ("TC0P" = 0x54433050); at most the first
// four bytes count, the empty string gives 0.
constexpr uint32_t smcKeyCode(std::string_view text)
{
    uint32_t code = 0;
    for (size_t i = 0; i < text.size() && i < 4; ++i)
        code = code * 256 + static_cast<uint8_t>(text[i]);
    return code;
}

// The code's four bytes, most significant first; empty when one is not ASCII.
inline QString smcKeyString(uint32_t code)
{
    char c[4];
    for (int i = 0; i < 4; ++i) {
        const auto b = static_cast<uint8_t>(code >> (24 - 8 * i));
        if (b > 0x7f)
            return {};
        c[i] = static_cast<char>(b);
    }
    return QString::fromLatin1(c, 4);
}

class SmcTransport {
public:
    virtual ~SmcTransport() = default;
    // Opens the controller; 0 when there is none, else a handle for the open connection.
    virtual uint32_t open() = 0;
    virtual void close() = 0;
    // One call: `in.data8` holds the command. Returns 0 when the call went through; the
    // controller's own verdict is in `out.result` (0 = success).
    virtual int call(const SmcRecord &in, SmcRecord &out) = 0;
};

// applesmc's sysfs folder below `sysRoot` (Intel Macs); a transport that never opens when the
// machine has none.
std::unique_ptr<SmcTransport> makeLinuxSmcTransport(const QString &sysRoot = QStringLiteral("/sys"));
// Whether `sysRoot` has applesmc sensors or fans.
bool hasAppleSmc(const QString &sysRoot = QStringLiteral("/sys"));
// The backend itself, on its own folder.
std::unique_ptr<SmcTransport> makeAppleSmcTransport(const QString &applesmcDir);

} // namespace corvane
