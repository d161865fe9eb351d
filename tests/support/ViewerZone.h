#pragma once
// The local zone of the test's process while one of these lives, as a user's TZ sets it.
#include <QByteArray>
#include <QtGlobal>

#include <time.h>

namespace corvane::test {

class ViewerZone {
public:
    explicit ViewerZone(const char *id) : m_had(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ"))
    {
        qputenv("TZ", id);
        tzset();
    }
    ~ViewerZone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    ViewerZone(const ViewerZone &) = delete;
    ViewerZone &operator=(const ViewerZone &) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

} // namespace corvane::test
