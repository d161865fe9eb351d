#pragma once
// An SMC answered from files: a sorted set of keys, each with a type, a size and a
// reader that fetches its current value. Backends describe their keys; the store answers
// key information, key-at-index and read calls the way the controller does.
#include "platform/SmcTransport.h"
#include "platform/linux/SmcFanTree.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Encodes `value` as the controller would store it in a key of type `type`.
// False for a value the type cannot hold (the read then fails: no invented value) and
// for a type this store does not produce.
bool encodeSmcValue(uint32_t type, double value, std::array<uint8_t, 32> &bytes);

class SmcKeyStore : public SmcTransport {
public:
    using Reader = std::function<std::optional<double>()>;
    struct Key {
        uint32_t code = 0;
        uint32_t type = 0;
        uint32_t size = 0;
        Reader read;
    };
    static constexpr uint8_t kKeyNotFound = 0x84;
    static constexpr uint8_t kReadFailed = 0x85;

    uint32_t open() override;
    void close() override;
    int call(const SmcRecord &in, SmcRecord &out) override;

    // Keys as the last open() found them, by code.
    const std::vector<Key> &keys() const { return m_keys; }

protected:
    // The backend's keys (no "#KEY"; the store adds it). Empty: no controller here.
    virtual std::vector<Key> scan() = 0;

    static Key sp78(const std::string &key, Reader r);
    static Key fpe2(const std::string &key, Reader r);
    static Key ui8(const std::string &key, Reader r);
    // F<i>Ac/Mn/Mx for the first ten fans plus FNum, each speed encoded by `encode`.
    static void appendFanKeys(std::vector<Key> &keys, const std::vector<fantree::FanNode> &fans,
                              Key (*encode)(const std::string &, Reader));

private:
    const Key *find(uint32_t code) const;
    std::vector<Key> m_keys;
};

// Millidegrees (or any integer file) scaled by `scale`; nothing when unreadable.
SmcKeyStore::Reader scaledFileReader(std::string path, double scale);

} // namespace corvane
