#include "platform/ProcessTable.h"
#include "platform/linux/X11FrontmostApp.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

const QString kRoot = QStringLiteral(CORVANE_FIXTURES "/machine/desktop-names");

struct NameCase {
    const char *label;
    int32_t pid;
    const char *expected;
    bool kernelThread = false;
};

class ProcessNames : public ::testing::TestWithParam<NameCase> {};

// A desktop's processes as the Activity list and the privacy notice name them.
TEST_P(ProcessNames, FullExecutableNameOverTheKernelsShortOne)
{
    const auto &c = GetParam();
    auto table = makeLinuxProcessTable(kRoot + "/proc");
    const auto info = table->taskInfo(c.pid);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, QString::fromUtf8(c.expected));
    EXPECT_EQ(info->kernelThread, c.kernelThread);
    // Asked again (cached), the name is the same.
    EXPECT_EQ(table->taskInfo(c.pid)->name, QString::fromUtf8(c.expected));
    EXPECT_EQ(X11FrontmostApp::processName((kRoot + "/proc").toStdString(), uint32_t(c.pid)),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, ProcessNames,
    ::testing::Values(NameCase{"FirefoxContentProcess", 2001, "firefox-esr"},
                      NameCase{"OtherUsersProcessFromArgv0", 2002, "chromium"},
                      NameCase{"RewrittenTitle", 2003, "sshd"},
                      NameCase{"KernelThreadKeepsComm", 2004, "kworker/3:1-eve", true},
                      NameCase{"ExecutableReplacedByAnUpdate", 2005, "gnome-shell"},
                      NameCase{"LongerThanFifteen", 2006, "gsd-screensaver-proxy"}),
    [](const ::testing::TestParamInfo<NameCase> &i) { return std::string(i.param.label); });

struct WindowCase {
    const char *label;
    const char *instance;
    const char *className;
    uint32_t pid; // 0: none
    const char *expected;
};

class FrontmostNames : public ::testing::TestWithParam<WindowCase> {};

TEST_P(FrontmostNames, DesktopEntryThenExecutableThenClass)
{
    const auto &c = GetParam();
    const X11FrontmostApp app((kRoot + "/proc").toStdString(), {kRoot + "/applications", kRoot + "/nothing"});
    X11FrontmostApp::ActiveWindow w;
    if (*c.className)
        w.windowClass = X11FrontmostApp::WindowClass{QString::fromUtf8(c.instance), QString::fromUtf8(c.className)};
    if (c.pid)
        w.pid = c.pid;
    EXPECT_EQ(app.nameOf(w), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, FrontmostNames,
    ::testing::Values(WindowCase{"EntryNamedAfterTheClass", "Navigator", "firefox-esr", 2001, "Firefox ESR"},
                      WindowCase{"EntryByStartupWMClass", "gnome-terminal-server", "Gnome-terminal", 0, "Terminal"},
                      WindowCase{"ElectronAppByStartupWMClass", "code", "Code", 0, "Visual Studio Code"},
                      WindowCase{"NoEntryUsesTheExecutable", "sshd", "Sshd", 2006, "gsd-screensaver-proxy"},
                      WindowCase{"NoEntryNoProcessUsesTheClass", "xterm", "XTerm", 0, "XTerm"},
                      WindowCase{"NoClassUsesTheProcess", "", "", 2001, "firefox-esr"}),
    [](const ::testing::TestParamInfo<WindowCase> &i) { return std::string(i.param.label); });

} // namespace
