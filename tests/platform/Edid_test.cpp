#include "platform/Edid.h"

#include <QFile>

#include "support/ParamNames.h"
#include <gtest/gtest.h>

using namespace corvane;

namespace {

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(CORVANE_FIXTURES "/drm/edid/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void fixChecksum(QByteArray &b)
{
    uint8_t sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(b[i]));
    b[127] = static_cast<char>(static_cast<uint8_t>(256 - sum));
}

} // namespace

TEST(EdidTest, DecodesAMonitorWithNameAndSerial)
{
    const auto e = parseEdid(fixture("hdmi-dell.bin"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->vendorId, QStringLiteral("DEL"));
    EXPECT_EQ(e->vendorCode, 0x10ac);
    EXPECT_EQ(e->productCode, 0xa0c4);
    EXPECT_EQ(e->serial, 0x4c4f4e47u);
    EXPECT_EQ(e->yearOfManufacture, 2019);
    EXPECT_FALSE(e->modelYear);
    EXPECT_EQ(e->widthCm, 60);
    EXPECT_EQ(e->heightCm, 34);
    EXPECT_EQ(e->widthMm, 597);
    EXPECT_EQ(e->heightMm, 336);
    EXPECT_EQ(e->monitorName, QStringLiteral("DELL U2719D"));
    EXPECT_EQ(e->serialText, QStringLiteral("ABC1234"));
}

TEST(EdidTest, LaptopPanelHasNoMonitorName)
{
    const auto e = parseEdid(fixture("edp-boe.bin"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->vendorId, QStringLiteral("BOE"));
    EXPECT_EQ(e->serial, 0u);
    EXPECT_EQ(e->yearOfManufacture, 2021);
    EXPECT_EQ(e->widthMm, 309);
    EXPECT_EQ(e->heightMm, 174);
    EXPECT_FALSE(e->monitorName); // only vendor texts (0xFE), which are not a name
}

TEST(EdidTest, WeekFFGivesAModelYearNotAManufactureYear)
{
    QByteArray b = fixture("hdmi-dell.bin");
    b[16] = static_cast<char>(0xff);
    fixChecksum(b);
    const auto e = parseEdid(b);
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->yearOfManufacture);
    EXPECT_EQ(e->modelYear, 2019);
}

TEST(EdidTest, ZeroSizeMeansUnknown)
{
    QByteArray b = fixture("hdmi-dell.bin");
    b[22] = 0; // width only: an aspect ratio, not a size
    b[54 + 12] = b[54 + 13] = b[54 + 14] = 0;
    fixChecksum(b);
    const auto e = parseEdid(b);
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->widthCm);
    EXPECT_FALSE(e->widthMm);
}

TEST(EdidTest, ExtensionBlocksAreIgnored)
{
    QByteArray b = fixture("hdmi-dell.bin") + QByteArray(128, '\x02');
    EXPECT_TRUE(parseEdid(b));
}

struct BadEdid {
    const char *what;
    QByteArray (*make)();
};

class EdidRejects : public ::testing::TestWithParam<BadEdid> {};

TEST_P(EdidRejects, Damaged)
{
    EXPECT_FALSE(parseEdid(GetParam().make())) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EdidRejects,
    ::testing::Values(BadEdid{"empty", [] { return QByteArray(); }},
                      BadEdid{"cut short", [] { return fixture("hdmi-dell.bin").left(127); }},
                      BadEdid{"wrong header",
                              [] {
                                  QByteArray b = fixture("hdmi-dell.bin");
                                  b[1] = 0;
                                  fixChecksum(b);
                                  return b;
                              }},
                      BadEdid{"bad checksum",
                              [] {
                                  QByteArray b = fixture("hdmi-dell.bin");
                                  b[20] = static_cast<char>(b[20] ^ 1);
                                  return b;
                              }}),
    [](const auto &i) { return corvane::test::textName(i.param.what); });
