// The crash-log monitor over fixture folders built like a real machine's, awkward files
// included: nothing hangs, and names, kinds and order follow the reports.
#include "monitors/CrashLogMonitor.h"

#include "fakes/FakeCoredumpJournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QUrl>
#include <QFile>
#include <QSignalSpy>
#include <QSet>
#include <QTemporaryDir>
#include "ui/tabs/TabsTestPrint.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
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
    const CrashHeader h = CrashLogMonitor::parseHeader(GetParam().head);
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
    EXPECT_EQ(CrashLogMonitor::processName("Safari-2026-01-02.ips"), QStringLiteral("Safari"));
    EXPECT_EQ(CrashLogMonitor::processName("Mail.spin"), QStringLiteral("Mail.spin"));
    EXPECT_EQ(CrashLogMonitor::processName("---"), QStringLiteral("---"));
    EXPECT_EQ(CrashLogMonitor::processName("--kernel-x.panic"), QStringLiteral("kernel"));
    EXPECT_EQ(CrashLogMonitor::kind("panic"), QStringLiteral("Kernel Panic"));
    EXPECT_EQ(CrashLogMonitor::kind("spin"), QStringLiteral("Hang / Freeze"));
    EXPECT_EQ(CrashLogMonitor::kind("hang"), QStringLiteral("Hang / Freeze"));
    EXPECT_EQ(CrashLogMonitor::kind("diag"), QStringLiteral("Diagnostic"));
    EXPECT_EQ(CrashLogMonitor::kind("ips"), QStringLiteral("Crash"));
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
        // Planted by another user: the folder is writable by all.
        ASSERT_EQ(::symlink("/etc/shadow", QFile::encodeName(crash + "/shadow.crash").constData()), 0);
        setTime(crash + "/shadow.crash", 1'700'000'040);
        ASSERT_TRUE(QDir().mkpath(crash + "/dir.crash"));
        write(crash + "/dir.crash/inner.crash", "Process: Inner\n", 1'700'000'900);
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
    const auto entries = CrashLogMonitor::scan(sources(), QDateTime::currentDateTime());

    // Links and FIFOs are listed but can't be opened; a folder named like a report is none.
    QStringList seen;
    for (const auto &e : entries)
        seen << e.fileName + "|" + e.processName + "|" + e.kind + "|" + e.summary + (e.canOpen() ? "|open" : "|-");
    const QStringList expected = {
        "1700000000001/dmesg.txt|kernel|Kernel Panic|—|open",
        "_usr_bin_gedit.1000.crash|gedit|Crash|—|open",
        "Safari-2026-01-02.ips|Safari|Crash|\"exception\" : {\"type\" : \"EXC_BAD_ACCESS\"},|open",
        "Bad-utf8.crash|Bad|Crash|—|open",
        "REPORT.CRASH||Crash|—|open",
        "Mail.spin|Mail.spin|Hang / Freeze|—|open",
        "x.crash|x.crash|Crash|—|-",
        "zero.crash|zero.crash|Crash|—|-",
        "shadow.crash|shadow.crash|Crash|—|-",
        "Big-app.crash|BigApp|Crash|Exception Type: EXC_RESOURCE|open",
        "dmesg-efi-170000000002|kernel|Kernel Panic|—|open",
    };
    EXPECT_EQ(seen.join("\n").toStdString(), expected.join("\n").toStdString());
    EXPECT_EQ(entries.first().date, QDateTime::fromSecsSinceEpoch(1'700'000'700));
}

TEST_F(CrashFixture, EqualDatesKeepTheFolderOrder)
{
    write(crash + "/First-1.crash", "", 1'700'000'000);
    write(pstore + "/dmesg-1", "", 1'700'000'000);
    const auto entries = CrashLogMonitor::scan(sources(), QDateTime::currentDateTime());
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].fileName.toStdString(), "First-1.crash");
    EXPECT_EQ(entries[1].fileName.toStdString(), "dmesg-1");
}

TEST_F(CrashFixture, MissingFoldersGiveNoEntries)
{
    EXPECT_TRUE(CrashLogMonitor::scan({{root.path() + "/nope", false}, {root.path() + "/nope2", true}},
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
    constexpr qint64 kCap = 4 * 1024 * 1024;
    const CrashReportBody loaded = CrashLogMonitor::readReport(crash + "/" + GetParam().file, kCap);
    if (!GetParam().startsWith) {
        EXPECT_FALSE(loaded.text.has_value());
        return;
    }
    ASSERT_TRUE(loaded.text);
    EXPECT_TRUE(loaded.text->startsWith(QString::fromUtf8(GetParam().startsWith))) << loaded.text->left(40).toStdString();
    EXPECT_EQ(loaded.truncated, GetParam().truncated);
    EXPECT_LE(loaded.text->size(), kCap);
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
    const CrashReportBody loaded = CrashLogMonitor::readReport(crash + "/cut.crash", 10);
    EXPECT_EQ(loaded.text, QStringLiteral("aaaaaaaaa"));
    EXPECT_TRUE(loaded.truncated);
}

// Waits for the scans asked for to be published.
bool settled(CrashLogMonitor &monitor, int count)
{
    QSignalSpy spy(&monitor, &CrashLogMonitor::published);
    QElapsedTimer waited;
    waited.start();
    while ((monitor.scanning() || monitor.entries().size() != count) && waited.elapsed() < 10000)
        spy.wait(200);
    return !monitor.scanning() && monitor.entries().size() == count;
}

TEST_F(CrashFixture, RescanReadsOnlyNewOrChangedReportsAndKeepsTheRest)
{
    buildMachine();
    CrashLogMonitor monitor(sources());
    ASSERT_TRUE(settled(monitor, 11));
    EXPECT_EQ(monitor.lastScanReads(), 11);
    const QList<CrashLogEntry> before = monitor.entries();

    write(crash + "/New-1.hang", "Process: Fresh\n", 1'800'000'000);   // new
    write(crash + "/Mail.spin", "Process: Mailer\n", 1'700'000'200);  // rewritten, same time
    ASSERT_TRUE(QFile::remove(crash + "/REPORT.CRASH"));              // gone
    monitor.refresh();
    monitor.refresh(); // the second supersedes the first
    ASSERT_TRUE(settled(monitor, 11));
    EXPECT_EQ(monitor.lastScanReads(), 2);
    EXPECT_EQ(monitor.entries().first().processName, QStringLiteral("Fresh"));
    for (const CrashLogEntry &e : monitor.entries()) {
        const auto old = std::find_if(before.begin(), before.end(), [&](const auto &b) { return b.key == e.key; });
        if (e.fileName == u"Mail.spin") {
            EXPECT_EQ(e.processName, QStringLiteral("Mailer"));
            EXPECT_NE(e.id, old->id);
        } else if (old != before.end()) {
            EXPECT_EQ(e, *old) << e.fileName.toStdString(); // untouched: the same entry, id included
        }
    }
    EXPECT_EQ(monitor.reportFolder(), crash);
}

// A source that can't be read is told, with why, beside what the others gave; once it reads
// again it is told no more. Root reads through any permission, so most breaks here are of a kind
// that stops root too: a file where a folder should be, a link that loops.
struct UnreadableCase {
    const char *name;
    const char *crash, *pstore, *journal; // folders under the fixture root; nullptr: no journal
    int journalError;                     // a fake journal that fails after its one record
    bool denied;                          // the report folder's permissions shut out its reader
    const char *fails;                    // "<folder> <errno name>" a line; %1 = the fixture root
    int listed;
};
TABS_PRINT_BY_NAME(UnreadableCase)
class CrashSourceUnreadable : public CrashFixture, public ::testing::WithParamInterface<UnreadableCase> {};
TEST_P(CrashSourceUnreadable, SaysWhichAndWhyAndListsTheRest)
{
    const UnreadableCase &c = GetParam();
    if (c.denied && ::geteuid() == 0)
        GTEST_SKIP() << "permissions don't stop root";
    write(crash + "/Good-1.crash", "Process: Good\n", 1'700'000'300);
    write(pstore + "/dmesg-1", "panic\n", 1'700'000'200);
    write(root.path() + "/file", "not a folder\n", 1);
    ASSERT_EQ(::symlink("loop", QFile::encodeName(root.path() + "/loop").constData()), 0);
    const auto at = [&](const char *rel) { return root.path() + '/' + QLatin1String(rel); };
    QList<CrashSource> sources = {{at(c.crash), false}, {at(c.pstore), true}};
    auto fake = std::make_shared<test::FakeCoredumpJournal>();
    if (c.journalError) {
        CoredumpRecord r;
        r.cursor = "s=1;i=1";
        r.executable = QStringLiteral("/usr/bin/nautilus");
        r.time = QDateTime::fromSecsSinceEpoch(1'700'000'100);
        fake->records = {r};
        fake->error = c.journalError;
        sources.append({QString(), false, fake});
    } else if (c.journal) {
        sources.append({QString(), false, makeCoredumpJournal(at(c.journal))});
    }
    if (c.denied) {
        ASSERT_EQ(::chmod(QFile::encodeName(crash).constData(), 0), 0);
    }

    CrashLogMonitor monitor(sources);
    ASSERT_TRUE(settled(monitor, c.listed));
    QStringList failed;
    for (const CrashSourceFailure &f : monitor.failures())
        failed << (f.folder.isEmpty() ? QStringLiteral("journal") : f.folder) + ' ' + QLatin1String(::strerrorname_np(f.error));
    const QString expected = QString::fromUtf8(c.fails).replace(QStringLiteral("%1"), root.path());
    EXPECT_EQ(failed.join('\n').toStdString(), expected.toStdString());

    // Mended: the next scan says nothing more.
    if (expected.isEmpty())
        return;
    ::chmod(QFile::encodeName(crash).constData(), 0755);
    for (const char *rel : {"file", "loop"}) {
        QFile::remove(at(rel));
        QDir().mkpath(at(rel));
    }
    QDir().mkpath(at(c.crash));
    fake->error = 0;
    QSignalSpy scanned(&monitor, &CrashLogMonitor::published);
    monitor.refresh();
    ASSERT_TRUE(scanned.wait(10000));
    EXPECT_TRUE(monitor.failures().isEmpty());
}
INSTANTIATE_TEST_SUITE_P(
    CrashLog, CrashSourceUnreadable,
    ::testing::Values(
        UnreadableCase{"ReportFolderIsAFile", "file", "pstore", nullptr, 0, false, "%1/file ENOTDIR", 1},
        UnreadableCase{"PathThroughAFile", "file/crash", "pstore", nullptr, 0, false, "%1/file/crash ENOTDIR", 1},
        UnreadableCase{"DumpFolderIsALinkLoop", "crash", "loop", nullptr, 0, false, "%1/loop ELOOP", 1},
        UnreadableCase{"BothFolders", "file", "loop", nullptr, 0, false, "%1/file ENOTDIR\n%1/loop ELOOP", 0},
        UnreadableCase{"JournalFolderIsAFile", "crash", "pstore", "file", 0, false, "journal ENOTDIR", 2},
        UnreadableCase{"JournalFailsPartWay", "crash", "pstore", nullptr, EIO, false, "journal EIO", 3},
        UnreadableCase{"NoPermission", "crash", "pstore", nullptr, 0, true, "%1/crash EACCES", 1},
        // Absent is no failure: most systems lack one place or another.
        UnreadableCase{"MissingFoldersAndJournal", "nope", "nope2", "nope3", 0, false, "", 0},
        UnreadableCase{"EmptyJournalFolder", "crash", "pstore", "pstore/1700000000001", 0, false, "", 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CrashFixture, OffersOnlyTheRegularFilesItRead)
{
    buildMachine();
    CrashLogMonitor monitor(sources());
    ASSERT_TRUE(settled(monitor, 11));
    // Swapped for a link once the scan had read it.
    ASSERT_TRUE(QFile::remove(crash + "/Mail.spin"));
    ASSERT_EQ(::symlink("/etc/shadow", QFile::encodeName(crash + "/Mail.spin").constData()), 0);

    QStringList offered;
    for (const CrashLogEntry &e : monitor.entries())
        if (const QUrl url = monitor.openableUrl(e.key); !url.isEmpty())
            offered << url.fileName();
    EXPECT_EQ(offered.join(' ').toStdString(),
              "dmesg.txt _usr_bin_gedit.1000.crash Safari-2026-01-02.ips Bad-utf8.crash REPORT.CRASH Big-app.crash "
              "dmesg-efi-170000000002");
}

TEST_F(CrashFixture, NamesThatArentUtf8OrThatReorderTextStayReadable)
{
    // Two names that look alike once decoded: the bytes FF FE, and U+FFFD twice.
    const QByteArray raw = QFile::encodeName(crash) + "/\xff\xfe-app.crash";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "Process: raw\n", 13), 13);
    ::close(fd);
    write(crash + QString::fromUtf8("/\xef\xbf\xbd\xef\xbf\xbd-app.crash"), "Process: replaced\n", 1'700'000'100);
    // An override makes "evil<RLO>gpj.exe" read "evilexe.jpg".
    write(crash + QString::fromUtf8("/evil\xe2\x80\xaegpj.exe-1.crash"), "Process: sh\xe2\x80\xae" "fdp.exe\n", 1'700'000'000);

    const auto entries = CrashLogMonitor::scan(sources(), QDateTime::currentDateTime());
    ASSERT_EQ(entries.size(), 3);
    QStringList keys, loaded;
    for (const CrashLogEntry &e : entries) {
        keys << e.key;
        loaded << CrashLogMonitor::readReport(e, 1024).text.value_or(QString());
        EXPECT_FALSE(e.fileName.contains(QChar(0x202E))) << e.fileName.toStdString();
        EXPECT_FALSE(e.processName.contains(QChar(0x202E))) << e.processName.toStdString();
    }
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), 3);
    EXPECT_TRUE(loaded.contains(QStringLiteral("Process: raw\n")));
    EXPECT_TRUE(loaded.contains(QStringLiteral("Process: replaced\n")));
    const auto evil = std::find_if(entries.begin(), entries.end(), [](const auto &e) { return e.fileName.startsWith(u"evil"); });
    ASSERT_NE(evil, entries.end());
    EXPECT_EQ(evil->fileName, QStringLiteral("evil\uFFFDgpj.exe-1.crash"));
    EXPECT_EQ(evil->processName, QStringLiteral("sh\uFFFDfdp.exe"));
}

TEST_F(CrashFixture, CoredumpsFromTheJournalSitAmongTheReports)
{
    write(crash + "/_usr_bin_gedit.1000.crash", "ExecutablePath: /usr/bin/gedit\n", 1'700'000'500);
    auto journal = std::make_shared<test::FakeCoredumpJournal>();
    CoredumpRecord firefox;
    firefox.cursor = "s=ab;i=2";
    firefox.executable = QStringLiteral("/usr/lib/firefox-esr/firefox-esr");
    firefox.command = QStringLiteral("firefox-esr");
    firefox.pid = 4242;
    firefox.signal = 11;
    firefox.time = QDateTime::fromSecsSinceEpoch(1'700'000'900);
    firefox.coreFile = QStringLiteral("/var/lib/systemd/coredump/core.firefox-esr.1000.ab.4242.1700000900000000.zst");
    CoredumpRecord bare; // no executable, no stored core
    bare.cursor = "s=ab;i=1";
    bare.command = QStringLiteral("worker");
    bare.pid = 7;
    bare.signal = 6;
    bare.time = QDateTime::fromSecsSinceEpoch(1'700'000'100);
    journal->records = {firefox, bare};
    journal->texts.insert(firefox.cursor, "Process 4242 (firefox-esr) of user 1000 dumped core.\n\nCOREDUMP_SIGNAL=11\n");
    const QList<CrashSource> withJournal = {{crash, false, {}}, {QString(), false, journal}};

    const CrashLogMonitor::Scan first = CrashLogMonitor::scan(withJournal, QDateTime::currentDateTime(), {});
    QStringList seen;
    for (const auto &e : first.entries)
        seen << e.fileName + "|" + e.processName + "|" + e.kind + "|" + e.summary + "|" + (e.canOpen() ? "file" : "journal");
    EXPECT_EQ(seen.join('\n').toStdString(),
              QStringList({"core.firefox-esr.1000.ab.4242.1700000900000000.zst|firefox-esr|Crash|Signal: 11 (SIGSEGV)|journal",
                           "_usr_bin_gedit.1000.crash|gedit|Crash|—|file",
                           "core.worker.7|worker|Crash|Signal: 6 (SIGABRT)|journal"})
                  .join('\n')
                  .toStdString());
    EXPECT_EQ(first.entries[0].date, QDateTime::fromSecsSinceEpoch(1'700'000'900));
    EXPECT_TRUE(CrashLogMonitor::readReport(first.entries[0], 1024).text.value_or(QString()).startsWith(u"Process 4242 (firefox-esr)"));
    EXPECT_FALSE(CrashLogMonitor::readReport(first.entries[2], 1024).text); // rotated away

    // Nothing new: no record's fields read again, no report read again.
    const CrashLogMonitor::Scan again = CrashLogMonitor::scan(withJournal, QDateTime::currentDateTime(), first.entries);
    EXPECT_EQ(again.reads, 0);
    EXPECT_EQ(journal->fieldReads(), 2);
    EXPECT_EQ(again.entries, first.entries);
}

TEST(CrashLogJournal, NoJournalListsNothing)
{
    QTemporaryDir empty;
    const auto journal = makeCoredumpJournal(empty.path());
    const CoredumpListing none = journal->list(10, {});
    EXPECT_TRUE(none.records.empty());
    EXPECT_EQ(none.error, 0);
    EXPECT_FALSE(journal->entryText("s=0;i=0", 100).has_value());
    // This machine's own journal, whatever it holds (none without systemd), reads without error.
    for (const CoredumpRecord &r : makeCoredumpJournal()->list(5, {}).records)
        EXPECT_FALSE(r.cursor.isEmpty());
}

struct PieceCase {
    const char *name;
    QString text;
};
TABS_PRINT_BY_NAME(PieceCase)
class CrashReportPieces : public ::testing::TestWithParam<PieceCase> {};
TEST_P(CrashReportPieces, LongLinesComeInBoundedPiecesThatAddUpToTheText)
{
    const QString &text = GetParam().text;
    const QStringList pieces = CrashLogMonitor::pieces(text);
    for (const QString &p : pieces) {
        EXPECT_LE(p.size(), CrashLogMonitor::kPieceChars);
        EXPECT_FALSE(!p.isEmpty() && p.back().isHighSurrogate()) << "a character split in two";
    }
    // Joined back, piece after piece within a line: the text again.
    QStringList lines;
    QString line;
    qsizetype at = 0;
    for (const QString &p : pieces) {
        line += p;
        at += p.size();
        if (at < text.size() && text[at] == u'\n') {
            lines << line;
            line.clear();
            ++at;
        }
    }
    lines << line;
    EXPECT_EQ(lines.join(u'\n'), text);
}
INSTANTIATE_TEST_SUITE_P(
    CrashLog, CrashReportPieces,
    ::testing::Values(PieceCase{"ShortLines", QStringLiteral("Process: a\nSignal: 11\n")},
                      PieceCase{"OneFourMebibyteLine", QString(4 * 1024 * 1024, u'x')},
                      PieceCase{"ExactlyOnePiece", QString(CrashLogMonitor::kPieceChars, u'y') + u'\n'},
                      PieceCase{"SurrogatePairAtTheCut",
                                QString(CrashLogMonitor::kPieceChars - 1, u'z') + QString::fromUtf8("\xf0\x9f\x92\xa5") + QStringLiteral("tail")}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
