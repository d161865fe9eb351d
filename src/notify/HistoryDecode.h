#pragma once
// Strict readers for the history files' JSON values: a wrong type rejects the whole file.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QUuid>

#include <cmath>
#include <optional>

namespace corvane::json {

// A history file: a JSON array of objects, each turned into a record by `read` (nullopt rejects
// the whole file). With `keep` ≥ 0 only the first `keep` records are kept; the rest must still
// decode.
template <typename T, typename Read>
std::optional<QList<T>> decodeArray(const QByteArray &bytes, Read read, qsizetype keep = -1)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    QList<T> out;
    for (const QJsonValue &v : doc.array()) {
        if (!v.isObject())
            return std::nullopt;
        std::optional<T> record = read(v.toObject());
        if (!record)
            return std::nullopt;
        if (keep < 0 || out.size() < keep)
            out.append(std::move(*record));
    }
    return out;
}

inline std::optional<QUuid> uuidField(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return std::nullopt;
    const QString s = v.toString();
    if (s.size() != 36)
        return std::nullopt;
    for (int i = 0; i < 36; ++i) {
        const QChar c = s.at(i);
        const bool hyphenSlot = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenSlot ? c != QLatin1Char('-') : !isxdigit(c.unicode() < 128 ? c.toLatin1() : 'g'))
            return std::nullopt;
    }
    return QUuid::fromString(s);
}

inline std::optional<double> numberField(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

inline std::optional<qint64> integerField(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return std::nullopt;
    const QVariant var = v.toVariant();
    if (var.metaType().id() == QMetaType::LongLong)
        return var.toLongLong();
    const double d = v.toDouble();
    // Whole numbers written as doubles are accepted; fractions are not.
    if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) >= 9.2e18)
        return std::nullopt;
    return static_cast<qint64>(d);
}

// A well-typed value beyond what its field can hold (a hand-edited file, another program's
// bug) is read as the nearest value it can: a health of 1e308 % would otherwise be shown
// as a 309-digit number, and a date past year 9999 is no date at all.
template <typename T>
inline T clampToRange(T v, T lo, T hi)
{
    return !(v >= lo) ? lo : v > hi ? hi : v; // NaN (never from JSON) to the lower bound
}

// Stored dates (seconds from 2001-01-01 UTC) from 1970 to the end of year 9999.
inline double clampedDate(double ref)
{
    return clampToRange(ref, -978'307'200.0, 253'402'300'799.0 - 978'307'200.0);
}

inline std::optional<bool> boolField(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

} // namespace corvane::json
