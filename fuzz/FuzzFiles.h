#pragma once
// For readers that take a root folder: the input is written as one file of a scratch tree
// made once per process.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace corvane::fuzz {

inline QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

// Writes `data` to <scratch>/<relPath>, creating folders; returns the scratch root.
inline QString putFile(const QString &relPath, const uint8_t *data, size_t size)
{
    const QString root = scratch().path();
    const QString path = root + QLatin1Char('/') + relPath;
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    return root;
}

} // namespace corvane::fuzz
