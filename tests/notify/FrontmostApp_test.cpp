#include "platform/linux/X11FrontmostApp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace corvane;

TEST(FrontmostApp, ProcessNameFromComm)
{
    QTemporaryDir proc;
    const auto put = [&](const char *pid, const QByteArray &comm) {
        QDir(proc.path()).mkdir(pid);
        QFile f(proc.filePath(QString(pid) + "/comm"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(comm);
    };
    put("4242", "firefox-esr\n");
    put("77", "\n");
    const std::string root = proc.path().toStdString();
    EXPECT_EQ(X11FrontmostApp::processName(root, 4242), QStringLiteral("firefox-esr"));
    EXPECT_EQ(X11FrontmostApp::processName(root, 77), std::nullopt);
    EXPECT_EQ(X11FrontmostApp::processName(root, 9), std::nullopt);
    // Without an X11 connection there is no frontmost application to name.
    EXPECT_EQ(X11FrontmostApp(root).name(), std::nullopt);
}
