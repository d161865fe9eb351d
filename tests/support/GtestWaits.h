#pragma once
// Included ahead of every test source (see tests/CMakeLists.txt).
//
// QTest's QTRY_* macros report a failure to a QTest run, and under gtest there is none: the
// test returned early and passed. These wait the same way and fail the gtest test instead.
// A timeout below the floor is raised to it: a wait ends as soon as its condition holds, so
// only a failing test waits longer, and a loaded machine or a sanitizer build needs the room.
#include <QTest>
#include <gtest/gtest.h>

namespace corvane::test {
inline constexpr int kMinWaitMs = 20000;
constexpr int waitMs(int asked) { return asked > kMinWaitMs ? asked : kMinWaitMs; }
} // namespace corvane::test

#undef QTRY_VERIFY_WITH_TIMEOUT
#define QTRY_VERIFY_WITH_TIMEOUT(expr, timeout)                                                            \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(expr); }, ::corvane::test::waitMs(timeout)))             \
        << "waited for: " #expr

#undef QTRY_VERIFY
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 0)

#undef QTRY_COMPARE_WITH_TIMEOUT
#define QTRY_COMPARE_WITH_TIMEOUT(expr, expected, timeout)                                                 \
    do {                                                                                                   \
        (void)QTest::qWaitFor([&] { return bool((expr) == (expected)); }, ::corvane::test::waitMs(timeout)); \
        ASSERT_EQ(expr, expected) << "waited for: " #expr " == " #expected;                               \
    } while (false)

#undef QTRY_COMPARE
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, 0)
