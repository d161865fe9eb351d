#include "ui/shared/Symbols.h"
#include "platform/IconFontFile.h"

#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvane;

TEST(Symbols, IconFontIsEmbeddedAndHasTheGlyphs)
{
    const QString family = Symbols::ensureFontLoaded();
    ASSERT_TRUE(QFontDatabase::families().contains(family));
    QFont f(family);
    QFontMetricsF fm(f);
    for (const char *name : {"waveform.path.ecg.rectangle", "checkmark.seal", "slider.horizontal.3", "fanblades.fill"}) {
        const QString g = Symbols::glyphFor(QString::fromLatin1(name));
        EXPECT_TRUE(Symbols::isKnown(QString::fromLatin1(name))) << name;
        EXPECT_TRUE(fm.inFontUcs4(g.toUcs4().first())) << name;
    }
    EXPECT_EQ(Symbols::glyphFor(QStringLiteral("no.such.symbol")), QStringLiteral("•"));
    // The alert variant is its base symbol with the exclamation mark after it.
    EXPECT_EQ(Symbols::glyphFor(QStringLiteral("wifi.exclamationmark")),
              Symbols::glyphFor(QStringLiteral("wifi")) + QLatin1Char('!'));
}

// Every symbol name written in the interface's QML resolves through the table.
TEST(Symbols, EverySymbolUsedInTheInterfaceIsKnown)
{
    static const QRegularExpression re(QStringLiteral(R"re((?:symbol|icon|systemImage)\s*:\s*"([a-z0-9.]+)")re"));
    QDirIterator it(QStringLiteral(":/Corvane"), {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        QFile f(it.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        ++files;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = re.globalMatch(text); m.hasNext();) {
            const QString name = m.next().captured(1);
            EXPECT_TRUE(Symbols::isKnown(name)) << name.toStdString() << " in " << f.fileName().toStdString();
        }
    }
    EXPECT_GT(files, 0);
}

// The system's copy of the icon font is used only when it is the font built in.
TEST(Symbols, IconFontFileFallsBackToTheBuiltInCopy)
{
    const QString embedded = QString::fromLatin1(kEmbeddedIconFont);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(iconFontFile(dir.filePath("missing.ttf"), embedded), embedded);

    QFile other(dir.filePath("other.ttf")); // another release: other size
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(QByteArray(1000, 'x'));
    other.close();
    EXPECT_EQ(iconFontFile(other.fileName(), embedded), embedded);

    QFile same(dir.filePath("same.ttf"));
    QFile res(embedded);
    ASSERT_TRUE(res.open(QIODevice::ReadOnly));
    ASSERT_TRUE(same.open(QIODevice::WriteOnly));
    same.write(res.readAll());
    same.close();
    EXPECT_EQ(iconFontFile(same.fileName(), embedded), same.fileName());
    EXPECT_EQ(iconFontFile(dir.path(), embedded), embedded); // a directory is no font

    // The built-in copy registers on its own and carries the glyphs.
    const int id = QFontDatabase::addApplicationFont(embedded);
    ASSERT_GE(id, 0);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    ASSERT_FALSE(families.isEmpty());
    QFontMetricsF fm{QFont(families.first())};
    EXPECT_TRUE(fm.inFontUcs4(Symbols::glyphFor(QStringLiteral("fanblades.fill")).toUcs4().first()));
}
