// Machine identity read from fixture trees shaped like real machines, and from this one.
#include "platform/MachineInfo.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <unistd.h>

using namespace corvane;

namespace {

struct MachineCase {
    const char *name;
    const char *root;
    MachineFacts expected;
};

void PrintTo(const MachineCase &c, std::ostream *os) { *os << c.name; }

std::string show(const std::optional<QString> &s) { return s ? '"' + s->toStdString() + '"' : "absent"; }

class MachineInfoFixtures : public testing::TestWithParam<MachineCase> {};

} // namespace

TEST_P(MachineInfoFixtures, ReadsEachFactOrLeavesItAbsent)
{
    const MachineCase &c = GetParam();
    const MachineFacts f = makeLinuxMachineInfo(QStringLiteral(CORVANE_FIXTURES "/machine/") + c.root)->read();
    EXPECT_EQ(show(f.model), show(c.expected.model));
    EXPECT_EQ(show(f.processor), show(c.expected.processor));
    EXPECT_EQ(show(f.osName), show(c.expected.osName));
    EXPECT_EQ(show(f.kernelRelease), show(c.expected.kernelRelease));
    EXPECT_EQ(show(f.hostName), show(c.expected.hostName));
    EXPECT_EQ(f.onlineProcessors, c.expected.onlineProcessors);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, MachineInfoFixtures,
    testing::Values(
        MachineCase{"IntelLaptop", "laptop",
                    {QStringLiteral("MacBookPro16,1"), QStringLiteral("Intel(R) Core(TM) i9-9880H CPU @ 2.30GHz"),
                     QStringLiteral("Debian GNU/Linux 12 (bookworm)"), QStringLiteral("6.1.0-18-amd64"),
                     QStringLiteral("ana-laptop"), 8}},
        // Device-tree model with its NUL, "Hardware" for the processor, os-release only in
        // /usr/lib without PRETTY_NAME and with escaped quotes, an empty host name, a sparse CPU list.
        MachineCase{"ArmBoard", "arm-board",
                    {QStringLiteral("Raspberry Pi 4 Model B Rev 1.4"), QStringLiteral("BCM2835"),
                     QStringLiteral("Raspbian GNU/Linux 11 \"bullseye\""), QStringLiteral("6.1.21-v8+"), std::nullopt, 3}},
        MachineCase{"NothingExposed", "bare", {}}),
    [](const testing::TestParamInfo<MachineCase> &i) { return std::string(i.param.name); });

TEST(MachineModel, FirmwareNameBeforeTheDeviceTree)
{
    QTemporaryDir root;
    EXPECT_FALSE(readMachineModel(root.path()).has_value());
    QDir(root.path()).mkpath(QStringLiteral("proc/device-tree"));
    QFile dt(root.filePath(QStringLiteral("proc/device-tree/model")));
    dt.open(QIODevice::WriteOnly);
    dt.write(QByteArray("Raspberry Pi 4\0garbage", 23));
    dt.close();
    EXPECT_EQ(readMachineModel(root.path()), QStringLiteral("Raspberry Pi 4"));
    QDir(root.path()).mkpath(QStringLiteral("sys/class/dmi/id"));
    QFile dmi(root.filePath(QStringLiteral("sys/class/dmi/id/product_name")));
    dmi.open(QIODevice::WriteOnly);
    dmi.write("MacBookPro16,1\n");
    dmi.close();
    EXPECT_EQ(readMachineModel(root.path()), QStringLiteral("MacBookPro16,1"));
}

TEST(MachineInfoOnThisMachine, AgreesWithTheKernel)
{
    const MachineFacts f = makeLinuxMachineInfo()->read();
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    EXPECT_EQ(show(f.kernelRelease), show(QString::fromUtf8(u.release)));
    EXPECT_EQ(show(f.hostName), show(QSysInfo::machineHostName()));
    EXPECT_EQ(f.onlineProcessors, static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_TRUE(f.osName.has_value()); // every supported system ships os-release
}
