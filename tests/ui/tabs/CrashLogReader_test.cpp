// The crash-log reader over fixture folders built like a real machine's, awkward files
// included: nothing hangs, and names, kinds and order follow the reports.
#include "ui/tabs/CrashLogReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include "ui/tabs/TabsTestPrint.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

struct HeaderCase {
    const char *name;
    QByteArray head;
    std::optional<QString> process;
    std::optional<QString> summary;
};
TABS_PRINT_BY_NAME(HeaderCase)
class CrashHeaderParse : public ::testing::TestWithParam<HeaderCase> {};
TEST_P(CrashHeaderParse, FindsProcessAndSummary)
{
    const CrashHeader h = CrashLogReader::parseHeader(GetParam().head);
    EXPECT_EQ(h.process, GetParam().process);
    EXPECT_EQ(h.summary, GetParam().summary);
}

QByteArray manyLines(int n)
{
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "Line " + QByteArray::number(i) + "\n";
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    CrashLog, CrashHeaderParse,
    ::testing::Values(
        HeaderCase{"ProcessKeepsItsPid", "Process:   \tSafari [1234]\nPath: /x\n", QStringLiteral("Safari [1234]"), {}},
        HeaderCase{"JsonProcess", "  \"process\": \"Finder\",\n\"exception\" : {\"type\":\"EXC_CRASH\"}\n",
                   QStringLiteral("Finder"), QStringLiteral("\"exception\" : {\"type\":\"EXC_CRASH\"}")},
        HeaderCase{"EmptyProcessCounts", "Process:\n", QString(), {}},
        HeaderCase{"LastSummaryWins", "Exception Type: EXC_BAD_ACCESS\n\nTermination Reason:  Namespace SIGNAL\n", {},
                   QStringLiteral("Termination Reason:  Namespace SIGNAL")},
        HeaderCase{"ProcessAfterFortyLinesUnseen", manyLines(40) + "Process: late\n", {}, {}},
        HeaderCase{"BlankLinesDontCount", QByteArray(60, '\n') + manyLines(39) + "Process: seen\n", QStringLiteral("seen"), {}},
        HeaderCase{"InvalidUtf8FindsNothing", "Process: Safari\n\xff\xfe\n", {}, {}},
        HeaderCase{"ApportExecutable", "ProblemType: Crash\nExecutablePath: /usr/bin/gnome-shell\nSignal: 11\n",
                   QStringLiteral("gnome-shell"), {}},
        HeaderCase{"CaseSensitive", "process: lower\nexception type: lower\n", {}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CrashLog, NamesAndKindsFromFileNames)
{
    EXPECT_EQ(CrashLogReader::processName("Safari-2026-01-02.ips"), QStringLiteral("Safari"));
    EXPECT_EQ(CrashLogReader::processName("Mail.spin"), QStringLiteral("Mail.spin"));
    EXPECT_EQ(CrashLogReader::processName("---"), QStringLiteral("---"));
    EXPECT_EQ(CrashLogReader::processName("--kernel-x.panic"), QStringLiteral("kernel"));
    EXPECT_EQ(CrashLogReader::kind("panic"), QStringLiteral("Kernel Panic"));
    EXPECT_EQ(CrashLogReader::kind("spin"), QStringLiteral("Hang / Freeze"));
    EXPECT_EQ(CrashLogReader::kind("hang"), QStringLiteral("Hang / Freeze"));
    EXPECT_EQ(CrashLogReader::kind("diag"), QStringLiteral("Diagnostic"));
    EXPECT_EQ(CrashLogReader::kind("ips"), QStringLiteral("Crash"));
}

// A machine's crash folders: apport reports, a pstore dump, and files meant to trip a reader.
struct CrashFixture : ::testing::Test {
    QTemporaryDir root;
    QString crash, pstore;

    void SetUp() override
    {
        crash = root.path() + "/crash";
        pstore = root.path() + "/pstore";
        QDir().mkpath(crash);
        QDir().mkpath(pstore + "/1700000000001");
    }
    void write(const QString &path, const QByteArray &bytes, qint64 mtime)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        setTime(path, mtime);
    }
    static void setTime(const QString &path, qint64 mtime)
    {
        const timespec t[2] = {{mtime, 0}, {mtime, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, AT_SYMLINK_NOFOLLOW);
    }
    void buildMachine()
    {
        write(crash + "/_usr_bin_gedit.1000.crash",
              "ProblemType: Crash\nArchitecture: amd64\nExecutablePath: /usr/bin/gedit\nSignal: 11\n", 1'700'000'500);
        write(crash + "/_usr_bin_gedit.1000.upload", "", 1'700'000'600); // apport's marker: no report
        write(crash + "/Safari-2026-01-02.ips",
              "{\"app_name\":\"Safari\",\"bug_type\":\"309\"}\n{\n  \"process\": \"Safari\",\n"
              "  \"exception\" : {\"type\" : \"EXC_BAD_ACCESS\"},\n}\n",
              1'700'000'400);
        write(crash + "/Bad-utf8.crash", "Process: Bad\n\xc3\x28\xff\n", 1'700'000'300);
        write(crash + "/REPORT.CRASH", "Process:\n", 1'700'000'250);
        write(crash + "/.hidden.crash", "Process: Hidden\n", 1'700'000'900);
        write(crash + "/notes.txt", "Process: Notes\n", 1'700'000'900);
        write(crash + "/noext", "Process: None\n", 1'700'000'900);
        write(crash + "/Mail.spin", "nothing here\n", 1'700'000'200);
        ASSERT_EQ(::mkfifo(QFile::encodeName(crash + "/x.crash").constData(), 0644), 0);
        setTime(crash + "/x.crash", 1'700'000'100);
        ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(crash + "/zero.crash").constData()), 0);
        setTime(crash + "/zero.crash", 1'700'000'050);
        // A 50 MB report: a head and a long sparse tail.
        write(crash + "/Big-app.crash", "Process: BigApp\nException Type: EXC_RESOURCE\n", 1'700'000'000);
        ASSERT_EQ(::truncate(QFile::encodeName(crash + "/Big-app.crash").constData(), 50'000'000), 0);
        setTime(crash + "/Big-app.crash", 1'700'000'000);
        // systemd-pstore: one record folder with its dmesg, one loose dump.
        write(pstore + "/1700000000001/dmesg.txt", "<0>Kernel panic - not syncing: Fatal exception\n", 1'700'000'700);
        write(pstore + "/dmesg-efi-170000000002", "Oops#1 Part1\n", 1'699'000'000);
    }
    QList<CrashSource> sources() const { return {{crash, false}, {pstore, true}}; }
};

TEST_F(CrashFixture, ScanListsReportsNewestFirstWithoutHanging)
{
    buildMachine();
    // The pipe has no writer and /dev/zero no end: a scan that read either would not return.
    const auto entries = CrashLogReader::scan(sources(), QDateTime::currentDateTime());

    QStringList seen;
    for (const auto &e : entries)
        seen << e.fileName + "|" + e.processName + "|" + e.kind + "|" + e.summary;
    const QStringList expected = {
        "1700000000001/dmesg.txt|kernel|Kernel Panic|—",
        "_usr_bin_gedit.1000.crash|gedit|Crash|—",
        "Safari-2026-01-02.ips|Safari|Crash|\"exception\" : {\"type\" : \"EXC_BAD_ACCESS\"},",
        "Bad-utf8.crash|Bad|Crash|—",
        "REPORT.CRASH||Crash|—",
        "Mail.spin|Mail.spin|Hang / Freeze|—",
        "x.crash|x.crash|Crash|—",
        "zero.crash|zero.crash|Crash|—",
        "Big-app.crash|BigApp|Crash|Exception Type: EXC_RESOURCE",
        "dmesg-efi-170000000002|kernel|Kernel Panic|—",
    };
    EXPECT_EQ(seen.join("\n").toStdString(), expected.join("\n").toStdString());
    EXPECT_EQ(entries.first().date, QDateTime::fromSecsSinceEpoch(1'700'000'700));
}

TEST_F(CrashFixture, EqualDatesKeepTheFolderOrder)
{
    write(crash + "/First-1.crash", "", 1'700'000'000);
    write(pstore + "/dmesg-1", "", 1'700'000'000);
    const auto entries = CrashLogReader::scan(sources(), QDateTime::currentDateTime());
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].fileName.toStdString(), "First-1.crash");
    EXPECT_EQ(entries[1].fileName.toStdString(), "dmesg-1");
}

TEST_F(CrashFixture, MissingFoldersGiveNoEntries)
{
    EXPECT_TRUE(CrashLogReader::scan({{root.path() + "/nope", false}, {root.path() + "/nope2", true}},
                                     QDateTime::currentDateTime())
                    .isEmpty());
}

struct LoadCase {
    const char *name;
    const char *file;
    const char *startsWith; // nullptr: unreadable
    bool truncated;
};
TABS_PRINT_BY_NAME(LoadCase)
class CrashReportLoad : public CrashFixture, public ::testing::WithParamInterface<LoadCase> {};
TEST_P(CrashReportLoad, ReadsOnlyWhatItShould)
{
    buildMachine();
    const auto loaded = CrashReportText::load(crash + "/" + GetParam().file);
    if (!GetParam().startsWith) {
        EXPECT_EQ(loaded.text, CrashReportText::kUnreadable);
        EXPECT_TRUE(loaded.note.isEmpty());
        return;
    }
    EXPECT_TRUE(loaded.text.startsWith(QString::fromUtf8(GetParam().startsWith))) << loaded.text.left(40).toStdString();
    EXPECT_EQ(!loaded.note.isEmpty(), GetParam().truncated);
    EXPECT_LE(loaded.text.size(), CrashReportText::kMaxBytes);
}
INSTANTIATE_TEST_SUITE_P(
    CrashLog, CrashReportLoad,
    ::testing::Values(LoadCase{"Apport", "_usr_bin_gedit.1000.crash", "ProblemType: Crash", false},
                      LoadCase{"FiftyMegabytes", "Big-app.crash", "Process: BigApp", true},
                      LoadCase{"Fifo", "x.crash", nullptr, false},
                      LoadCase{"SymlinkToDevZero", "zero.crash", nullptr, false},
                      LoadCase{"InvalidUtf8", "Bad-utf8.crash", nullptr, false},
                      LoadCase{"Deleted", "gone.crash", nullptr, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CrashFixture, CapThatSplitsACharacterKeepsTheText)
{
    // "ș" is two bytes; the cap falls between them.
    write(crash + "/cut.crash", QByteArray(9, 'a') + "\xc8\x99" + "tail", 1);
    const auto loaded = CrashReportText::load(crash + "/cut.crash", 10);
    EXPECT_EQ(loaded.text, QStringLiteral("aaaaaaaaa"));
    EXPECT_FALSE(loaded.note.isEmpty());
}

TEST_F(CrashFixture, ReaderPublishesEachScanWithNewIdentities)
{
    buildMachine();
    CrashLogReader reader(sources());
    QSignalSpy spy(&reader, &CrashLogReader::entriesChanged);
    ASSERT_TRUE(spy.wait(5000));
    ASSERT_EQ(reader.count(), 10);
    const QString firstId = reader.entries().first().id;

    write(crash + "/New-1.hang", "Process: Fresh\n", 1'800'000'000);
    reader.refresh();
    reader.refresh(); // the second supersedes the first
    // The scans run on a pool thread: wait for the newer one's list, not for a flag.
    QElapsedTimer waited;
    waited.start();
    while ((reader.scanning() || reader.count() != 11) && waited.elapsed() < 10000)
        spy.wait(200);
    EXPECT_FALSE(reader.scanning());
    EXPECT_EQ(reader.count(), 11);
    EXPECT_EQ(reader.entries().first().processName, QStringLiteral("Fresh"));
    for (const auto &e : reader.entries())
        EXPECT_NE(e.id, firstId);
    EXPECT_EQ(reader.reportFolder(), crash);
}

} // namespace
