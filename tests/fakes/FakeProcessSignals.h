#pragma once
// Process signals against a table of fake processes: each pid has a generation, and a held
// process is signalled only while its pid still names the same generation.
#include "platform/ProcessSignals.h"

#include <cerrno>
#include <map>
#include <memory>
#include <vector>

namespace corvane::test {

class FakeProcessSignals final : public ProcessSignals {
public:
    struct Delivery {
        int pid;
        int generation;
        int signal;
    };
    struct Table {
        std::map<int, int> generation; // pid → live generation (absent: no such process)
        std::map<int, int> refuse;     // pid → errno every signal to it meets
        std::vector<Delivery> delivered;
        int holds = 0;
    };

    explicit FakeProcessSignals(std::shared_ptr<Table> t) : m_t(std::move(t)) {}

    std::unique_ptr<HeldProcess> hold(int32_t pid) override
    {
        ++m_t->holds;
        const auto it = m_t->generation.find(pid);
        return std::make_unique<Held>(m_t, pid, it == m_t->generation.end() ? -1 : it->second);
    }

private:
    class Held final : public HeldProcess {
    public:
        Held(std::shared_ptr<Table> t, int pid, int gen) : m_t(std::move(t)), m_pid(pid), m_gen(gen) {}
        int send(int signal) override
        {
            const auto it = m_t->generation.find(m_pid);
            if (m_gen < 0 || it == m_t->generation.end() || it->second != m_gen)
                return ESRCH;
            if (const auto r = m_t->refuse.find(m_pid); r != m_t->refuse.end())
                return r->second;
            m_t->delivered.push_back({m_pid, m_gen, signal});
            return 0;
        }

    private:
        std::shared_ptr<Table> m_t;
        int m_pid;
        int m_gen;
    };
    std::shared_ptr<Table> m_t;
};

} // namespace corvane::test
