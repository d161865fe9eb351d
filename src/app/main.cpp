#include "state/AppState.h"
#include "state/ThemeManager.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvane"));

    int rc = 0;
    {
        corvane::AppState state;
        QQmlApplicationEngine engine;
        engine.load(QUrl(QStringLiteral("qrc:/Corvane/Main.qml")));
        if (engine.rootObjects().isEmpty())
            return 1;
        rc = QApplication::exec();
    } // the hub and its sampler threads go before the application object
    return rc;
}
