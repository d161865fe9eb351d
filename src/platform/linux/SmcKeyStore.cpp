#include "platform/linux/SmcKeyStore.h"
#include "common/Numbers.h"
#include "platform/linux/SmcFanTree.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvane {

bool encodeSmcValue(uint32_t type, double value, std::array<uint8_t, 32> &bytes)
{
    bytes.fill(0);
    switch (type) {
    case smcKeyCode("sp78"): {
        const auto v = checkedCast<int16_t>(std::round(value * 256.0));
        if (!v)
            return false;
        const auto u = static_cast<uint16_t>(*v);
        bytes[0] = static_cast<uint8_t>(u >> 8);
        bytes[1] = static_cast<uint8_t>(u);
        return true;
    }
    case smcKeyCode("fpe2"): {
        const auto u = checkedCast<uint16_t>(std::round(value * 4.0));
        if (!u)
            return false;
        bytes[0] = static_cast<uint8_t>(*u >> 8);
        bytes[1] = static_cast<uint8_t>(*u);
        return true;
    }
    case smcKeyCode("flt "):
    case smcKeyCode("ioft"): {
        const float f = static_cast<float>(value);
        uint32_t u = 0;
        std::memcpy(&u, &f, 4);
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(u >> (8 * i)); // little-endian
        return true;
    }
    case smcKeyCode("ui8 "): {
        const auto u = checkedCast<uint8_t>(value);
        if (!u)
            return false;
        bytes[0] = *u;
        return true;
    }
    case smcKeyCode("ui16"): {
        const auto o = checkedCast<uint16_t>(value);
        if (!o)
            return false;
        const uint16_t u = *o;
        bytes[0] = static_cast<uint8_t>(u >> 8);
        bytes[1] = static_cast<uint8_t>(u);
        return true;
    }
    case smcKeyCode("ui32"): {
        const auto o = checkedCast<uint32_t>(value);
        if (!o)
            return false;
        const uint32_t u = *o;
        for (int i = 0; i < 4; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(u >> (24 - 8 * i));
        return true;
    }
    default:
        return false;
    }
}

SmcKeyStore::Key SmcKeyStore::sp78(const std::string &key, Reader r)
{
    return {smcKeyCode(key), smcKeyCode("sp78"), 2, std::move(r)};
}
SmcKeyStore::Key SmcKeyStore::fpe2(const std::string &key, Reader r)
{
    return {smcKeyCode(key), smcKeyCode("fpe2"), 2, std::move(r)};
}
SmcKeyStore::Key SmcKeyStore::ui8(const std::string &key, Reader r)
{
    return {smcKeyCode(key), smcKeyCode("ui8 "), 1, std::move(r)};
}

uint32_t SmcKeyStore::open()
{
    std::vector<Key> keys = scan();
    if (keys.empty()) {
        m_keys.clear();
        return 0;
    }
    // The first of two keys with one code wins, as on a controller that has each once.
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.code < b.code; });
    keys.erase(std::unique(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.code == b.code; }),
               keys.end());
    const double count = static_cast<double>(keys.size() + 1);
    keys.push_back({smcKeyCode("#KEY"), smcKeyCode("ui32"), 4, [count] { return std::optional<double>(count); }});
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.code < b.code; });
    m_keys = std::move(keys);
    return 1;
}

void SmcKeyStore::close()
{
    m_keys.clear();
}

const SmcKeyStore::Key *SmcKeyStore::find(uint32_t code) const
{
    const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), code,
                                     [](const Key &k, uint32_t c) { return k.code < c; });
    return it != m_keys.end() && it->code == code ? &*it : nullptr;
}

int SmcKeyStore::call(const SmcRecord &in, SmcRecord &out)
{
    out = SmcRecord{};
    out.key = in.key;
    switch (in.data8) {
    case kSmcKeyInfo:
        if (const Key *k = find(in.key)) {
            out.dataSize = k->size;
            out.dataType = k->type;
        } else {
            out.result = kKeyNotFound;
        }
        break;
    case kSmcReadKey: {
        const Key *k = find(in.key);
        if (!k) {
            out.result = kKeyNotFound;
            break;
        }
        const std::optional<double> v = k->read ? k->read() : std::nullopt;
        if (!v || !std::isfinite(*v) || !encodeSmcValue(k->type, *v, out.bytes))
            out.result = kReadFailed;
        break;
    }
    case kSmcKeyAtIndex:
        if (in.data32 < m_keys.size())
            out.key = m_keys[in.data32].code;
        else
            out.result = kKeyNotFound;
        break;
    default:
        out.result = kKeyNotFound;
        break;
    }
    return 0;
}

void SmcKeyStore::appendFanKeys(std::vector<Key> &keys, const std::vector<fantree::FanNode> &fans,
                                Key (*encode)(const std::string &, Reader))
{
    int count = 0;
    for (const auto &f : fans) {
        if (f.index > 9) // F<i>Ac has room for one digit
            break;
        const std::string i = std::to_string(f.index);
        keys.push_back(encode("F" + i + "Ac", scaledFileReader(f.file("_input"), 1.0)));
        if (fantree::exists(f.file("_min")))
            keys.push_back(encode("F" + i + "Mn", scaledFileReader(f.file("_min"), 1.0)));
        if (fantree::exists(f.file("_max")))
            keys.push_back(encode("F" + i + "Mx", scaledFileReader(f.file("_max"), 1.0)));
        count = f.index + 1;
    }
    if (count > 0) {
        const double n = count;
        keys.push_back(ui8("FNum", [n] { return std::optional<double>(n); }));
    }
}

SmcKeyStore::Reader scaledFileReader(std::string path, double scale)
{
    return [path = std::move(path), scale]() -> std::optional<double> {
        const auto v = fantree::readInteger(path);
        if (!v)
            return std::nullopt;
        return static_cast<double>(*v) * scale;
    };
}

} // namespace corvane
