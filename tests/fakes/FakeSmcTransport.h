#pragma once
#include "platform/SmcTransport.h"

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace corvane::test {

// A controller whose keys the test writes as raw records. Keys are listed by index in
// insertion order; "#KEY" answers the count unless the test sets it itself.
class FakeSmcTransport final : public SmcTransport {
public:
    struct Entry {
        std::string key;
        uint32_t type = 0;
        uint32_t size = 0;
        std::array<uint8_t, 32> bytes{};
        bool failInfo = false;
        bool failRead = false;
    };

    uint32_t openResult = 7;
    int calls = 0; // touched only by the thread that drives the monitor

    Entry &set(const std::string &key, const char *type, std::vector<uint8_t> bytes, uint32_t size = UINT32_MAX)
    {
        Entry e;
        e.key = key;
        e.type = smcKeyCode(type);
        e.size = size != UINT32_MAX ? size : static_cast<uint32_t>(bytes.size());
        std::memcpy(e.bytes.data(), bytes.data(), std::min<size_t>(bytes.size(), 32));
        auto it = m_index.find(key);
        if (it != m_index.end()) {
            m_entries[it->second] = e;
            return m_entries[it->second];
        }
        m_index[key] = m_entries.size();
        m_entries.push_back(e);
        return m_entries.back();
    }
    Entry &sp78(const std::string &key, double c)
    {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(c * 256.0));
        return set(key, "sp78", {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
    Entry &fpe2(const std::string &key, double rpm)
    {
        const auto v = static_cast<uint16_t>(rpm * 4.0);
        return set(key, "fpe2", {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
    Entry &flt(const std::string &key, float f)
    {
        uint8_t b[4];
        std::memcpy(b, &f, 4);
        return set(key, "flt ", {b[0], b[1], b[2], b[3]});
    }
    Entry &ui8(const std::string &key, uint8_t v) { return set(key, "ui8 ", {v}); }
    Entry &ui32(const std::string &key, uint32_t v)
    {
        return set(key, "ui32", {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                                 static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
    }
    Entry *entry(const std::string &key)
    {
        auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[it->second];
    }

    uint32_t open() override { return openResult; }
    void close() override { closed = true; }
    bool closed = false;

    int call(const SmcRecord &in, SmcRecord &out) override
    {
        ++calls;
        out = SmcRecord{};
        out.key = in.key;
        const Entry *e = nullptr;
        Entry count;
        if (in.data8 != kSmcKeyAtIndex) {
            for (const auto &x : m_entries)
                if (smcKeyCode(x.key) == in.key)
                    e = &x;
            if (!e && in.key == smcKeyCode("#KEY")) {
                count.key = "#KEY";
                count.type = smcKeyCode("ui32");
                count.size = 4;
                const auto n = static_cast<uint32_t>(m_entries.size());
                count.bytes = {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
                e = &count;
            }
        }
        switch (in.data8) {
        case kSmcKeyInfo:
            if (!e || e->failInfo)
                out.result = 0x84;
            else {
                out.dataSize = e->size;
                out.dataType = e->type;
            }
            return 0;
        case kSmcReadKey:
            if (!e || e->failRead)
                out.result = 0x84;
            else
                out.bytes = e->bytes;
            return 0;
        case kSmcKeyAtIndex:
            if (in.data32 < m_entries.size())
                out.key = smcKeyCode(m_entries[in.data32].key);
            else
                out.result = 0x84;
            return 0;
        default:
            return 1;
        }
    }

private:
    std::vector<Entry> m_entries;
    std::map<std::string, size_t> m_index;
};

} // namespace corvane::test
