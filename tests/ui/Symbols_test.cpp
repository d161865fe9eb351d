#include "ui/shared/Symbols.h"

#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QRegularExpression>
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
