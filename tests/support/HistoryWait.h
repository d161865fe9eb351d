#pragma once
// History files are read off the GUI thread: waits until an owner has its file.
#include <QTest>

namespace corvane::test {

template <typename Owner>
[[nodiscard]] bool waitLoaded(const Owner &owner, int timeoutMs = 5000)
{
    return QTest::qWaitFor([&] { return owner.isLoaded(); }, timeoutMs);
}

} // namespace corvane::test
