#pragma once
// Process signals against a table of fake processes: each pid has a generation that stands
// for its start time, and a held process is signalled only while its pid still names the
// same generation. A delivered signal ends the process unless the table says otherwise.
#include "platform/ProcessSignals.h"

#include <cerrno>
#include <map>
#include <memory>
#include <set>
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
        std::map<int, std::set<int>> ignored; // pid → signals it has set to be ignored
        std::set<int> lingers;         // pids that handle every signal and run on
        std::vector<Delivery> delivered;
        int holds = 0;
    };

    explicit FakeProcessSignals(std::shared_ptr<Table> t) : m_t(std::move(t)) {}

    std::unique_ptr<HeldProcess> hold(int32_t pid, uint64_t startTime) override
    {
        ++m_t->holds;
        return std::make_unique<Held>(m_t, pid, static_cast<int>(startTime));
    }

private:
    class Held final : public HeldProcess {
    public:
        Held(std::shared_ptr<Table> t, int pid, int gen) : m_t(std::move(t)), m_pid(pid), m_gen(gen) {}
        int check() override
        {
            const auto it = m_t->generation.find(m_pid);
            if (it == m_t->generation.end())
                return ESRCH;
            return it->second == m_gen ? 0 : kProcessReplaced;
        }
        int send(int signal) override
        {
            if (const int err = check())
                return err;
            if (const auto r = m_t->refuse.find(m_pid); r != m_t->refuse.end())
                return r->second;
            m_t->delivered.push_back({m_pid, m_gen, signal});
            if (!ignores(signal) && !m_t->lingers.count(m_pid))
                m_t->generation.erase(m_pid);
            return 0;
        }
        bool running() override { return check() == 0; }
        bool ignores(int signal) override
        {
            const auto it = m_t->ignored.find(m_pid);
            return check() == 0 && it != m_t->ignored.end() && it->second.count(signal);
        }

    private:
        std::shared_ptr<Table> m_t;
        int m_pid;
        int m_gen;
    };
    std::shared_ptr<Table> m_t;
};

} // namespace corvane::test
