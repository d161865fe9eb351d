#pragma once

#include <QFile>
#include <QString>
#include <unistd.h>

namespace corvane::test {

// As root the fan helper takes a test tree only when it runs as "nobody", and the build folder
// may be closed to that user (a clone in a private folder): it then runs from a copy in the
// test's own folder, which that user can reach.
inline QString fanHelperFor(const QString &folder)
{
    const QString built = QStringLiteral(CORVANE_BINARY_DIR "/smcfan");
    if (::geteuid() != 0)
        return built;
    const QString copy = folder + QStringLiteral("/smcfan");
    QFile::remove(copy);
    if (!QFile::copy(built, copy))
        return built;
    QFile(copy).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                               | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    return copy;
}

} // namespace corvane::test
