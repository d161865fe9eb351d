#pragma once
#include "platform/DisplayLink.h"

#include <memory>
#include <mutex>

namespace corvane::test {

// A link the test drives by hand: frame(n) runs the installed callback n times.
class FakeDisplayLink final : public DisplayLink {
public:
    struct Shared {
        std::mutex lock;
        Callback callback;
        std::optional<double> nominal;
        // Set: the link counts refreshes itself and is read, not called back.
        std::optional<uint64_t> counter;
        int counterReads = 0;
        int starts = 0;
        int stops = 0;
    };
    explicit FakeDisplayLink(std::shared_ptr<Shared> s) : m_s(std::move(s)) {}
    ~FakeDisplayLink() override { stop(); }

    std::optional<double> nominalRefreshHz() const override { return m_s->nominal; }
    void start(Callback onFrame) override
    {
        std::lock_guard l(m_s->lock);
        m_s->callback = std::move(onFrame);
        ++m_s->starts;
    }
    void stop() override
    {
        std::lock_guard l(m_s->lock);
        if (m_s->callback)
            ++m_s->stops;
        m_s->callback = nullptr;
    }

    std::optional<uint64_t> refreshCount() override
    {
        std::lock_guard l(m_s->lock);
        ++m_s->counterReads;
        return m_s->counter;
    }

    static void frames(Shared &s, int n)
    {
        for (int i = 0; i < n; ++i) {
            std::lock_guard l(s.lock);
            if (s.callback)
                s.callback();
        }
    }

private:
    std::shared_ptr<Shared> m_s;
};

} // namespace corvane::test
