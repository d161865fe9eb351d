// Shared main for the test binaries: one QApplication, isolated settings and data folders.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

#include <cstdlib>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and data go to a private folder, never the user's.
    QTemporaryDir home;
    // Test mode keeps settings and data under $HOME/.qttest: a private HOME per process.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    // Test mode points settings at one shared ~/.qttest folder; every test process gets its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path() + "/config");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/config");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
