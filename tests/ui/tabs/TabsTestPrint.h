#pragma once
// Readable failure output for Qt strings.
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << "{";
    for (qsizetype i = 0; i < l.size(); ++i)
        *os << (i ? ", " : "") << '"' << l[i].toStdString() << '"';
    *os << "}";
}

// Parameter structs carry a `name`; print that instead of their bytes.
#define TABS_PRINT_BY_NAME(Type) \
    [[maybe_unused]] inline void PrintTo(const Type &c, std::ostream *os) { *os << c.name; }
