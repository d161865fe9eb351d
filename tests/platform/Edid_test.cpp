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

// Real EDIDs that a careless decoder turns into nonsense.
TEST(EdidTest, OldCrtPaddedWithOnesKeepsItsCentimetreSizeAndCleanName)
{
    const auto e = parseEdid(fixture("crt-edid10-padded.bin"), 2026);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->vendorId, QStringLiteral("ACR"));
    EXPECT_FALSE(e->widthMm) << *e->widthMm << " x " << *e->heightMm; // not 1 x 257 from the padding
    EXPECT_EQ(e->widthCm, 32);
    EXPECT_EQ(e->heightCm, 24);
    EXPECT_EQ(e->monitorName, QStringLiteral("Acer")); // never "AcerAL171"
    EXPECT_EQ(e->yearOfManufacture, 1998);
}

TEST(EdidTest, TelevisionWithItsAspectRatioAsCentimetresKeepsItsTimingSize)
{
    const auto e = parseEdid(fixture("hdmi-tv-ratio-cm.bin"), 2026);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->vendorId, QStringLiteral("SAM"));
    EXPECT_EQ(e->monitorName, QStringLiteral("SAMSUNG"));
    EXPECT_FALSE(e->widthCm); // 160 x 90 "cm": a 72" screen it is not
    EXPECT_EQ(e->widthMm, 885);
    EXPECT_EQ(e->heightMm, 498);
}

// A receiver's 160 x 90 cm with 1600 x 900 mm (72"), a 21.5" monitor's 16 x 9 cm with
// 160 x 90 mm (7"): nothing in either says how large the screen is.
TEST(EdidTest, PlaceholderSizeRepeatedByTheTimingIsUnknown)
{
    for (const char *name : {"hdmi-receiver-placeholder.bin", "hdmi-monitor-ratio-cm.bin"}) {
        const auto e = parseEdid(fixture(name), 2026);
        ASSERT_TRUE(e) << name;
        EXPECT_FALSE(e->widthCm) << name;
        EXPECT_FALSE(e->widthMm) << name;
        EXPECT_TRUE(e->monitorName) << name; // the rest of the block is read as usual
    }
}

TEST(EdidTest, ChecksumValidJunkGivesNoFacts)
{
    const auto e = parseEdid(fixture("junk-checksum-valid.bin"), 2026);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->vendorId, QStringLiteral("—"));
    EXPECT_FALSE(e->widthMm); // a 600 kHz "timing" of 4095 x 4095 mm
    EXPECT_FALSE(e->widthCm);
    EXPECT_FALSE(e->yearOfManufacture); // week 77 of 2245
    EXPECT_FALSE(e->modelYear);
    EXPECT_FALSE(e->serialText); // starts with a control byte: nothing to show
}

struct EdidFault {
    const char *what;
    void (*mutate)(QByteArray &);
    void (*check)(const EdidInfo &);
};

void PrintTo(const EdidFault &f, std::ostream *os) { *os << f.what; }

class EdidFaults : public ::testing::TestWithParam<EdidFault> {};

TEST_P(EdidFaults, ShowsOnlyWhatTheBytesSupport)
{
    QByteArray b = fixture("hdmi-dell.bin");
    GetParam().mutate(b);
    fixChecksum(b);
    const auto e = parseEdid(b, 2026);
    ASSERT_TRUE(e);
    SCOPED_TRACE(::testing::Message() << "shown: " << e->widthMm.value_or(0) << " x " << e->heightMm.value_or(0)
                                      << " mm, " << e->widthCm.value_or(0) << " x " << e->heightCm.value_or(0) << " cm");
    GetParam().check(*e);
}

void setImageSize(QByteArray &b, int w, int h)
{
    b[54 + 12] = static_cast<char>(w & 0xff);
    b[54 + 13] = static_cast<char>(h & 0xff);
    b[54 + 14] = static_cast<char>((w >> 8) << 4 | (h >> 8));
}

void setActivePixels(QByteArray &b, int w, int h)
{
    b[54 + 2] = static_cast<char>(w & 0xff);
    b[54 + 4] = static_cast<char>((w >> 8) << 4 | (b[54 + 4] & 0x0f));
    b[54 + 5] = static_cast<char>(h & 0xff);
    b[54 + 7] = static_cast<char>((h >> 8) << 4 | (b[54 + 7] & 0x0f));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, EdidFaults,
    ::testing::Values(
        EdidFault{"mm far from cm yields to cm", [](QByteArray &b) { setImageSize(b, 160, 208); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_EQ(e.widthCm, 60); }},
        EdidFault{"mm within rounding of cm stays", [](QByteArray &b) { setImageSize(b, 604, 343); },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 604); EXPECT_EQ(e.heightMm, 343); }},
        EdidFault{"mm under 50 without cm is dropped",
                  [](QByteArray &b) { b[21] = b[22] = 0; setImageSize(b, 16, 9); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // Centimetre bytes that spell an aspect ratio: 16 x 9 cm reads as 7.2", 160 x 90 cm as 72".
        EdidFault{"cm ratio 16 by 9 yields to the timing", [](QByteArray &b) { b[21] = 16; b[22] = 9; },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 597); EXPECT_EQ(e.heightMm, 336); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio 160 by 90 yields to the timing",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 90; },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 597); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio against a timing not shaped like its pixels is no size",
                  [](QByteArray &b) { b[21] = 16; b[22] = 10; setImageSize(b, 597, 150); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio against a tiny timing is no size",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 90; setImageSize(b, 16, 9); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // The same ratio again in the timing's millimetres: both are placeholders.
        EdidFault{"cm ratio 16 by 10 repeated by the timing is no size",
                  [](QByteArray &b) { b[21] = 16; b[22] = 10; setImageSize(b, 160, 100); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio 160 by 100 repeated by the timing is no size",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 100; setImageSize(b, 1600, 1000); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio 4 by 3 repeated by the timing is no size",
                  [](QByteArray &b) { b[21] = 4; b[22] = 3; setImageSize(b, 40, 30); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio 160 by 90 written again as 160 by 90 mm is no size",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 90; setImageSize(b, 160, 90); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm ratio 16 by 9 written again as 1600 by 900 mm is no size",
                  [](QByteArray &b) { b[21] = 16; b[22] = 9; setImageSize(b, 1600, 900); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // Millimetres that are the timing's pixel count: 2560 x 1440 mm, 1024 x 600 mm.
        EdidFault{"mm equal to the pixels without cm is no size",
                  [](QByteArray &b) { b[21] = b[22] = 0; setImageSize(b, 2560, 1440); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); }},
        EdidFault{"mm equal to the pixels beside a cm ratio is no size",
                  [](QByteArray &b) { b[21] = 16; b[22] = 9; setActivePixels(b, 1024, 600); setImageSize(b, 1024, 600); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // Token centimetres beside a sound timing: 10 x 10 mm it is not.
        EdidFault{"cm 7 by 4 yields to the timing", [](QByteArray &b) { b[21] = 7; b[22] = 4; },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 597); EXPECT_EQ(e.heightMm, 336); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm 2 by 1 beside a timing not shaped like its pixels is no size",
                  [](QByteArray &b) { b[21] = 2; b[22] = 1; setImageSize(b, 597, 150); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // Placeholders the other field cannot vouch for: centimetres of 0 mean "not given", and in
        // EDID 1.4 one 0 byte makes the other an aspect ratio.
        EdidFault{"timing 1600 by 900 without cm is no size",
                  [](QByteArray &b) { b[21] = b[22] = 0; setImageSize(b, 1600, 900); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"timing 1600 by 900 beside an aspect byte is no size",
                  [](QByteArray &b) { b[21] = 79; b[22] = 0; setImageSize(b, 1600, 900); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"timing 160 by 90 without cm is no size",
                  [](QByteArray &b) { b[21] = b[22] = 0; setImageSize(b, 160, 90); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm 160 by 90 without a timing size is no size",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 90; setImageSize(b, 0, 0); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // Two placeholders that disagree: neither is a size.
        EdidFault{"cm 160 by 100 beside a 1600 by 900 timing is no size",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 100; setImageSize(b, 1600, 900); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"cm 160 by 90 beside a 4 by 3 timing of 1200 by 900 is no size",
                  [](QByteArray &b) {
                      b[21] = static_cast<char>(160); b[22] = 90;
                      setActivePixels(b, 1024, 768); setImageSize(b, 1200, 900);
                  },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); EXPECT_FALSE(e.widthCm); }},
        // Centimetres that are the pixel count over ten, or a portrait size beside a landscape
        // timing, lose to a timing measured like its pixels (a 31.5" 720p TV, a 19.5" monitor).
        EdidFault{"cm a tenth of the pixels yields to the timing",
                  [](QByteArray &b) {
                      const int w = 1280, h = 720;
                      setActivePixels(b, w, h);
                      b[21] = static_cast<char>(w / 10); b[22] = static_cast<char>(h / 10);
                      setImageSize(b, 698, 392);
                  },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 698); EXPECT_EQ(e.heightMm, 392); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"portrait cm beside a landscape timing yields to the timing",
                  [](QByteArray &b) { b[21] = static_cast<char>(174); b[22] = static_cast<char>(240); setImageSize(b, 430, 240); },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 430); EXPECT_EQ(e.heightMm, 240); EXPECT_FALSE(e.widthCm); }},
        EdidFault{"a 72 inch screen measured in its timing stays",
                  [](QByteArray &b) { b[21] = static_cast<char>(160); b[22] = 90; setImageSize(b, 1594, 897); },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 1594); EXPECT_EQ(e.widthCm, 160); }},
        EdidFault{"real size shaped like a ratio agreeing with the timing stays",
                  [](QByteArray &b) { b[21] = 48; b[22] = 27; setImageSize(b, 477, 268); },
                  [](const EdidInfo &e) { EXPECT_EQ(e.widthMm, 477); EXPECT_EQ(e.widthCm, 48); }},
        EdidFault{"timing below 10 MHz is no timing",
                  [](QByteArray &b) { b[54] = 60; b[55] = 0; },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); }},
        EdidFault{"timing without active pixels is no timing",
                  [](QByteArray &b) { b[56] = 0; b[58] = static_cast<char>(b[58] & 0x0f); },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.widthMm); }},
        EdidFault{"next year is still shown", [](QByteArray &b) { b[17] = 2027 - 1990; },
                  [](const EdidInfo &e) { EXPECT_EQ(e.yearOfManufacture, 2027); }},
        EdidFault{"two years ahead is hidden", [](QByteArray &b) { b[17] = 2028 - 1990; },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.yearOfManufacture); EXPECT_FALSE(e.modelYear); }},
        EdidFault{"model year ahead is hidden", [](QByteArray &b) { b[16] = static_cast<char>(0xff); b[17] = 2030 - 1990; },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.modelYear); }},
        EdidFault{"week 54 is a week", [](QByteArray &b) { b[16] = 54; },
                  [](const EdidInfo &e) { EXPECT_EQ(e.yearOfManufacture, 2019); }},
        EdidFault{"week 55 hides the year", [](QByteArray &b) { b[16] = 55; },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.yearOfManufacture); EXPECT_FALSE(e.modelYear); }},
        EdidFault{"vendor letter zero", [](QByteArray &b) { b[8] = 0; b[9] = 0x21; },
                  [](const EdidInfo &e) { EXPECT_EQ(e.vendorId, QStringLiteral("—")); }},
        EdidFault{"vendor letter past Z", [](QByteArray &b) { b[9] = static_cast<char>((b[9] & 0xe0) | 27); },
                  [](const EdidInfo &e) { EXPECT_EQ(e.vendorId, QStringLiteral("—")); }},
        EdidFault{"name ends at a high byte",
                  [](QByteArray &b) { b[72 + 5 + 4] = static_cast<char>(0xa0); },
                  [](const EdidInfo &e) { EXPECT_EQ(e.monitorName, QStringLiteral("DELL")); }},
        EdidFault{"serial starting with a control byte is none",
                  [](QByteArray &b) { b[90 + 5] = '\r'; },
                  [](const EdidInfo &e) { EXPECT_FALSE(e.serialText); }}),
    [](const auto &i) { return corvane::test::textName(i.param.what); });
