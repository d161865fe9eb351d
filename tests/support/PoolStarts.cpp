#include "support/PoolStarts.h"

#include <QThreadPool>

#include <atomic>
#include <dlfcn.h>

namespace {
std::atomic<int> g_starts{0};
}

int corvane::test::poolStarts() { return g_starts.load(); }

void QThreadPool::start(std::function<void()> functionToRun, int priority)
{
    ++g_starts;
    using Start = void (*)(QThreadPool *, std::function<void()>, int);
    static const auto qtStart = reinterpret_cast<Start>(dlsym(RTLD_NEXT, "_ZN11QThreadPool5startESt8functionIFvvEEi"));
    qtStart(this, std::move(functionToRun), priority);
}
