#include "ui/shared/Symbols.h"
#include "platform/IconFontFile.h"

#include "common/Log.h"

#include <QFontDatabase>
#include <QHash>


namespace corvane {

namespace {
const QHash<QString, char32_t> &table()
{
    static const QHash<QString, char32_t> t = [] {
        struct Row { const char *name; char32_t cp; };
        static const Row rows[] = {
#include "ui/shared/SymbolTable.inc"
        };
        QHash<QString, char32_t> h;
        for (const auto &r : rows)
            h.insert(QString::fromLatin1(r.name), r.cp);
        return h;
    }();
    return t;
}
} // namespace

Symbols::Symbols(QObject *parent) : QObject(parent) { ensureFontLoaded(); }

QString Symbols::ensureFontLoaded()
{
    static const QString family = [] {
        const QString file = iconFontFile(QString::fromLatin1(kInstalledIconFont), QString::fromLatin1(kEmbeddedIconFont));
        const int id = QFontDatabase::addApplicationFont(file);
        const QStringList fams = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        if (fams.isEmpty())
            qCWarning(lcUi, "icon font could not be loaded");
        return fams.isEmpty() ? QStringLiteral("Material Design Icons") : fams.first();
    }();
    return family;
}

QString Symbols::glyphFor(const QString &name)
{
    const auto it = table().constFind(name);
    if (it == table().constEnd())
        return QStringLiteral("•");
    const char32_t cp = *it;
    QString g = QString::fromUcs4(&cp, 1);
    // The icon font has no alert variants of its symbols: the mark follows the glyph, drawn
    // by the text font in the same size and weight.
    if (name.endsWith(QLatin1String(".exclamationmark")))
        g += QLatin1Char('!');
    return g;
}

bool Symbols::isKnown(const QString &name) { return table().contains(name); }

QString Symbols::glyph(const QString &name) const { return glyphFor(name); }
bool Symbols::known(const QString &name) const { return isKnown(name); }
QString Symbols::fontFamily() const { return ensureFontLoaded(); }

} // namespace corvane
