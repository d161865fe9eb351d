#pragma once
#include "platform/DisplaySource.h"

#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

namespace corvane::test {

class FakeDisplaySource final : public DisplaySource {
public:
    struct Shared {
        std::mutex lock;
        DisplaySourceSnapshot snapshot;
        std::atomic<int> reads{0};
        QString lastThread;
    };
    explicit FakeDisplaySource(std::shared_ptr<Shared> s) : m_s(std::move(s)) {}

    DisplaySourceSnapshot read() override
    {
        std::lock_guard l(m_s->lock);
        ++m_s->reads;
        m_s->lastThread = QThread::currentThread()->objectName();
        return m_s->snapshot;
    }

private:
    std::shared_ptr<Shared> m_s;
};

} // namespace corvane::test
