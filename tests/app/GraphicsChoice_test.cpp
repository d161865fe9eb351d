#include "app/GraphicsChoice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvane;

TEST(GraphicsChoice, SoftwareOnlyWithoutARenderNodeAndWithoutAUserChoice)
{
    QTemporaryDir dev;
    EXPECT_TRUE(preferSoftwareSceneGraph(dev.path())); // no /dev/dri at all
    QDir(dev.path()).mkpath("dri");
    QFile(dev.path() + "/dri/card0").open(QIODevice::WriteOnly); // a display-only node
    EXPECT_TRUE(preferSoftwareSceneGraph(dev.path()));
    QFile(dev.path() + "/dri/renderD128").open(QIODevice::WriteOnly);
    EXPECT_FALSE(preferSoftwareSceneGraph(dev.path()));

    QFile::remove(dev.path() + "/dri/renderD128");
    qputenv("QSG_RHI_BACKEND", "opengl"); // the user's own pick wins
    EXPECT_FALSE(preferSoftwareSceneGraph(dev.path()));
    qunsetenv("QSG_RHI_BACKEND");

    // Set but empty is no choice: the automatic one still applies.
    qputenv("QT_QUICK_BACKEND", "");
    qputenv("QSG_RHI_BACKEND", "");
    EXPECT_TRUE(preferSoftwareSceneGraph(dev.path()));
    qunsetenv("QT_QUICK_BACKEND");
    qunsetenv("QSG_RHI_BACKEND");
}
