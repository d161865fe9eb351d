// The written PDF, read back with poppler's tools: one Letter page, the texts as the
// monitors held them, fonts embedded; failed exports leave files alone.
#include "fakes/FakeClock.h"
#include "fakes/FakeWiFiLink.h"
#include "monitors/BatteryMonitor.h"
#include "monitors/NetworkMonitor.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "monitors/WiFiMonitor.h"
#include "platform/BlockStorage.h"
#include "platform/HostStats.h"
#include "platform/NetworkCounters.h"
#include "platform/PowerSources.h"
#include "platform/ProcessTable.h"
#include "common/AppVersion.h"
#include "report/ReportPainter.h"
#include "report/SystemReportPage.h"
#include "app/QtTranslation.h"
#include "fakes/FakeHub.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTimer>
#include <QTranslator>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace corvane;

namespace {

const QString kFixtures = QStringLiteral(CORVANE_FIXTURES);

// The hub's monitors on the laptop fixtures, each sampled once.
struct LaptopHub {
    test::FakeClock clock;
    SystemMonitor system{makeLinuxHostStats(kFixtures + "/proc"), clock, false};
    BatteryMonitor battery{makeLinuxPowerSources(kFixtures + "/power_supply/laptop"), clock, false};
    StorageMonitor storage{makeLinuxBlockStorage(kFixtures + "/proc", kFixtures + "/sys"), clock, false};
    NetworkMonitor network{makeLinuxNetworkCounters(kFixtures + "/sys", kFixtures + "/proc"), clock, false};
    ProcessMonitor processes{makeLinuxProcessTable(kFixtures + "/proc"), clock, false};
    WiFiMonitor wifi{std::make_unique<test::FakeWiFiLink>(), clock, false};
    std::unique_ptr<MachineInfo> machine = makeLinuxMachineInfo(kFixtures + "/machine/laptop");

    LaptopHub()
    {
        system.publish(system.sampler().sample());
        battery.publish(battery.sampler().sample());
        storage.publish(storage.sampler().sample());
        network.publish(network.sampler().sample());
        processes.publish(processes.sampler().sample());
        WiFiMonitor::WiFiSample link;
        link.isConnected = true;
        link.ssid = QStringLiteral("Acasă-5G");
        link.rssiDbm = -67;
        link.transmitRateMbps = 866.7;
        link.securityType = QStringLiteral("WPA3 Personal");
        wifi.publish(link);
    }

    // No GPU, frame-rate, camera or microphone monitor: their rows keep resting values.
    ReportSnapshot capture() const
    {
        ReportSources src;
        src.system = &system;
        src.battery = &battery;
        src.storage = &storage;
        src.network = &network;
        src.processes = &processes;
        src.wifi = &wifi;
        return ReportSnapshot::capture(src, *machine);
    }
};

QString run(const QString &tool, const QStringList &args)
{
    const QString exe = QStandardPaths::findExecutable(tool);
    if (exe.isEmpty())
        return QStringLiteral("<%1 missing: install poppler-utils>").arg(tool);
    QProcess p;
    p.start(exe, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString extractedText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")})
        .simplified();
}

const QDateTime kGeneratedAt(QDate(2026, 3, 8), QTime(9, 5));

// The factor the page is drawn at, measured on a PDF device.
double fitScaleOf(const ReportDocument &doc)
{
    QBuffer probe;
    probe.open(QIODevice::WriteOnly);
    double scale = 0;
    writePDF(&probe, {612, 792}, [&](QPainter &p) { scale = ReportPainter(doc, p.device()).fitScale({612, 792}); });
    return scale;
}

struct Export {
    QStringList errors;
    QList<QUrl> opened;
    QStringList suggested;
    bool written = false;
};

// `viewer` false: a desktop with no program for PDF files.
Export exportTo(const QString &path, const std::function<ReportSnapshot()> &capture, bool viewer = true)
{
    Export e;
    SystemReportPage::Hooks hooks;
    hooks.now = [] { return kGeneratedAt; };
    hooks.chooseFile = [&](const QString &name) {
        e.suggested << name;
        return path;
    };
    hooks.capture = capture;
    hooks.showError = [&](const QString &m) { e.errors << m; };
    hooks.open = [&](const QUrl &u) {
        e.opened << u;
        return viewer;
    };
    e.written = SystemReportPage::exportWith(hooks);
    return e;
}

} // namespace

class ReportPdf : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("raport.pdf")); }

    void writeOldReport() const
    {
        QFile old(path());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous report");
    }
    // A failed export: one message, nothing opened, the old file whole and no leftovers.
    void expectFailureKeptOldReport(const Export &e) const
    {
        EXPECT_FALSE(e.written);
        EXPECT_TRUE(e.opened.isEmpty());
        ASSERT_EQ(e.errors.size(), 1);
        EXPECT_TRUE(e.errors[0].startsWith(QStringLiteral("Raportul nu a putut fi salvat în „") + path()))
            << e.errors[0].toStdString();
        QFile old(path());
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("previous report"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("raport.pdf")});
    }
};

TEST_F(ReportPdf, OneLetterPageWithEveryTitleAndTheHubsValues)
{
    LaptopHub hub;
    ReportSnapshot captured;
    const Export e = exportTo(path(), [&] { return captured = hub.capture(); });
    ASSERT_TRUE(e.written) << e.errors.join('\n').toStdString();
    EXPECT_EQ(e.suggested, QStringList{QStringLiteral("Corvane_Report_2026-03-08_0905.pdf")});
    EXPECT_EQ(e.opened, QList<QUrl>{QUrl::fromLocalFile(path())});

    const QString info = run(QStringLiteral("pdfinfo"), {path()});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+612 x 792 pts")))) << info.toStdString();

    const QString text = extractedText(path());
    QStringList expected = {QStringLiteral("CORVANE SKERRIN"), QStringLiteral("Raport de sistem"),
                            QStringLiteral("DISPOZITIV"), QStringLiteral("PERFORMANȚĂ LIVE"), QStringLiteral("SSD"),
                            QStringLiteral("BATERIE"), QStringLiteral("REȚEA & WIFI"), QStringLiteral("PRIVACY"),
                            QStringLiteral("TOP 5 PROCESE (CPU)"), QStringLiteral("Corvane Skerrin Widget v") + appVersion(),
                            QStringLiteral("corvane.app"), report::headerDateText(kGeneratedAt, QLocale())};
    // Every row, as the monitors held the figures when the page was drawn.
    for (const auto &section : ReportDocument::build(captured, kGeneratedAt).sections)
        for (const auto &row : section.rows)
            expected << row.label.simplified() << row.value.simplified();
    for (const QString &want : expected)
        EXPECT_TRUE(text.contains(want)) << "missing: " << want.toStdString() << "\nin: " << text.toStdString();

    // Spot checks against the laptop's own figures, and the dash where a value is missing.
    for (const char *want : {"MacBookPro16,1", "Intel(R) Core(TM) i9-9880H CPU @ 2.30GHz", "ana-laptop",
                             "Debian GNU/Linux 12 (bookworm) · kernel 6.1.0-18-amd64", "Procent 76%", "Cicluri 312",
                             "Pe baterie", "Acasă-5G", "-67 dBm · Mediu", "867 Mbps", "GPU —", "Canal —"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(want))) << "missing: " << want << "\nin: " << text.toStdString();
    ASSERT_FALSE(captured.topByCPU.isEmpty());
    EXPECT_TRUE(text.contains(captured.topByCPU.first().name + QStringLiteral(" (pid ")));
}

TEST_F(ReportPdf, FontsAreEmbedded)
{
    LaptopHub hub;
    ASSERT_TRUE(exportTo(path(), [&] { return hub.capture(); }).written);
    const QStringList lines = run(QStringLiteral("pdffonts"), {path()}).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 2) << lines.join('\n').toStdString();
    bool sawRounded = false;
    for (const QString &line : lines.mid(2)) {
        // name type encoding emb sub uni object-id generation
        static const QRegularExpression columns(QStringLiteral("\\s(yes|no)\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+$"));
        const auto m = columns.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        EXPECT_EQ(m.captured(1), QStringLiteral("yes")) << "not embedded: " << line.toStdString();
        EXPECT_EQ(m.captured(3), QStringLiteral("yes")) << "no text mapping: " << line.toStdString();
        sawRounded |= line.startsWith(QStringLiteral("Quicksand"));
    }
    EXPECT_TRUE(sawRounded) << lines.join('\n').toStdString();
}

TEST_F(ReportPdf, WhitePageThatLooksLikeAReport)
{
    LaptopHub hub;
    ASSERT_TRUE(exportTo(path(), [&] { return hub.capture(); }).written);
    const QString png = QStringLiteral(CORVANE_BINARY_DIR "/report-png/report");
    QDir().mkpath(QFileInfo(png).path());
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("110"), QStringLiteral("-png"),
                                     QStringLiteral("-singlefile"), path(), png});
    const QImage img(png + QStringLiteral(".png"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(935, 1210)); // 8.5 × 11 in at 110 dpi
    EXPECT_EQ(img.pixelColor(3, 3), QColor(Qt::white)); // inside the margin
    // The header glyph is drawn in black near the top-left corner of the inset area.
    int dark = 0;
    for (int y = 43; y < 43 + 61; ++y)
        for (int x = 43; x < 43 + 61; ++x)
            dark += img.pixelColor(x, y).lightness() < 80;
    EXPECT_GT(dark, 200);
}

TEST_F(ReportPdf, ContentTallerThanThePageIsScaledOntoIt)
{
    ReportSnapshot s;
    s.isCameraOn = true;
    for (int i = 0; i < 120; ++i)
        s.activeCameraNames << QStringLiteral("Cameră externă %1").arg(i);
    for (int i = 0; i < 5; ++i)
        s.topByCPU << ProcSnap{i, 1000 + i, QStringLiteral("proces-%1").arg(i), 10.0 * i, 1'000'000};
    const ReportDocument doc = ReportDocument::build(s, kGeneratedAt);
    const double scale = fitScaleOf(doc);
    EXPECT_LT(scale, 1.0);

    ASSERT_TRUE(exportTo(path(), [&] { return s; }).written);
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {path()}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    const QString text = extractedText(path());
    // Nothing is cut off: the last row and the footer are still on the page.
    for (const QString &want : {QStringLiteral("Cameră externă 119"), QStringLiteral("proces-4 (pid 1004)"),
                                QStringLiteral("Corvane Skerrin Widget v") + appVersion()})
        EXPECT_TRUE(text.contains(want)) << want.toStdString();
}

TEST_F(ReportPdf, BusiestEverydayReportStaysLegible)
{
    // Charging (eleven battery rows), five processes, both devices in use.
    ReportSnapshot s = LaptopHub().capture();
    s.isCharging = true;
    s.adapterName = QStringLiteral("96W USB-C Power Adapter");
    s.isCameraOn = s.isMicrophoneOn = true;
    s.activeCameraNames = {QStringLiteral("Integrated Camera")};
    s.activeMicNames = {QStringLiteral("Built-in Audio Analog Stereo")};
    for (int i = s.topByCPU.size(); i < 5; ++i)
        s.topByCPU << ProcSnap{i, 2000 + i, QStringLiteral("kworker/u16:%1-events_unbound").arg(i), 1.5, 0};
    const ReportDocument doc = ReportDocument::build(s, kGeneratedAt);
    const double scale = fitScaleOf(doc);
    // Spacing goes first: rows stay at 7.5 points or more.
    EXPECT_GE(scale, 0.75);
    EXPECT_LE(scale, 1.0);
}

// The laptop's report on battery, and a desktop's without one: the page loses spacing, not
// text size (10-point rows stay at 8.5 points or more).
TEST_F(ReportPdf, TypicalReportsKeepTheirTextSize)
{
    ReportSnapshot laptop = LaptopHub().capture();
    ReportSnapshot desktop = laptop;
    desktop.batteryPercentage = desktop.voltage = 0;
    desktop.maxCapacity = desktop.designCapacity = 0;
    desktop.isCharging = false;
    for (const auto &[name, s] : {std::pair{"laptop", laptop}, std::pair{"desktop", desktop}}) {
        const ReportDocument doc = ReportDocument::build(s, kGeneratedAt);
        const double scale = fitScaleOf(doc);
        RecordProperty(std::string("scale-") + name, QString::number(scale).toStdString());
        EXPECT_GE(scale, 0.85) << name;
        // Pages to look at: CORVANE_SHOTS=<folder> writes them.
        if (const QString shots = qEnvironmentVariable("CORVANE_SHOTS"); !shots.isEmpty())
            EXPECT_FALSE(SystemReportPage::writeReport(shots + QStringLiteral("/report-%1.pdf").arg(QLatin1String(name)), doc));
    }
}

TEST_F(ReportPdf, CancellingWritesNothingAndReadsNothing)
{
    bool captured = false, opened = false, shown = false;
    SystemReportPage::Hooks hooks;
    hooks.now = [] { return kGeneratedAt; };
    hooks.chooseFile = [](const QString &) { return QString(); };
    hooks.capture = [&] { captured = true; return ReportSnapshot(); };
    hooks.showError = [&](const QString &) { shown = true; };
    hooks.open = [&](const QUrl &) { return opened = true; };
    EXPECT_FALSE(SystemReportPage::exportWith(hooks));
    EXPECT_FALSE(captured || opened || shown);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Root writes anywhere: for the write, drop to an unprivileged file-system identity
// (per thread, and it clears the capabilities that bypass permissions).
class AsNobody {
public:
    AsNobody() : m_old(setfsuid(65534)) { setfsgid(65534); }
    ~AsNobody()
    {
        setfsuid(m_old);
        setfsgid(getgid());
    }

private:
    int m_old;
};

TEST_F(ReportPdf, ReadOnlyFolderShowsTheReasonAndKeepsTheOldFile)
{
    writeOldReport();
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    Export e;
    {
        AsNobody nobody;
        e = exportTo(path(), [] { return ReportSnapshot(); });
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    expectFailureKeptOldReport(e);
}

TEST_F(ReportPdf, FullDiskShowsTheReasonAndKeepsTheOldFile)
{
    writeOldReport();
    // A file-size limit makes writes past 2 KiB fail as they do on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved;
    tiny.rlim_cur = 2048;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const Export e = exportTo(path(), [] { return ReportSnapshot(); });
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    expectFailureKeptOldReport(e);
}

// A desktop with no PDF viewer: the report stays written and the user learns where it is.
TEST_F(ReportPdf, SavedReportNoViewerTakesSaysWhereItIs)
{
    writeOldReport();
    const Export e = exportTo(path(), [] { return ReportSnapshot(); }, false);
    EXPECT_TRUE(e.written);
    EXPECT_EQ(e.opened, QList<QUrl>{QUrl::fromLocalFile(path())});
    ASSERT_EQ(e.errors.size(), 1);
    EXPECT_TRUE(e.errors[0].contains(path())) << e.errors[0].toStdString();
    EXPECT_FALSE(e.errors[0].startsWith(QStringLiteral("Raportul nu a putut fi salvat"))) << "it was saved";
    QFile pdf(path());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF-"));
}

// ---- The save dialog as the report's button opens it, under a Romanian locale.

namespace {

// Every text the dialog shows: labels, buttons, tips, list entries, column titles and the
// entries of its menus, for the widgets on screen.
QStringList shownTexts(QWidget *dialog)
{
    QStringList out{dialog->windowTitle()};
    auto addActions = [&](QWidget *w) {
        for (QAction *a : w->actions())
            out << a->text() << a->toolTip();
    };
    addActions(dialog);
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(dialog))
            continue;
        out << w->toolTip();
        addActions(w);
        if (auto *l = qobject_cast<QLabel *>(w))
            out << l->text();
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            out << b->text();
        if (auto *e = qobject_cast<QLineEdit *>(w))
            out << e->placeholderText();
        if (auto *c = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                out << c->itemText(i);
        if (auto *h = qobject_cast<QHeaderView *>(w))
            for (int i = 0; i < h->count(); ++i)
                if (!h->isSectionHidden(i))
                    out << h->model()->headerData(i, h->orientation()).toString();
        // The places list; the file list's own rows are names, sizes and dates.
        if (auto *v = qobject_cast<QListView *>(w); v && v->objectName() == QLatin1String("sidebar"))
            for (int i = 0; i < v->model()->rowCount(); ++i)
                out << v->model()->index(i, 0).data().toString();
    }
    out.removeAll(QString());
    out.removeDuplicates();
    return out;
}

// Opens the report's save dialog (in `folder`), reads what it shows and cancels it.
QStringList saveDialogTexts(const QString &folder, const QString &shot = {})
{
    test::FakeHub hub;
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder); // no starting folder is set: the dialog opens where the app runs
    QStringList texts;
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<QFileDialog *>(w);
            if (!d || !d->isVisible() || seen)
                continue;
            seen = true;
            d->resize(900, 560);
            QCoreApplication::processEvents();
            texts = shownTexts(d);
            if (!shot.isEmpty())
                d->grab().save(shot);
            d->reject();
        }
    });
    poll.start(20);
    SystemReportPage::exportPDF(&hub.state);
    QDir::setCurrent(before);
    EXPECT_TRUE(seen) << "no save dialog appeared";
    return texts;
}

} // namespace

TEST(ReportSaveDialog, SpeaksRomanianUnderARomanianLocale)
{
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("Documente"));
    const QStringList english = saveDialogTexts(folder.path());
    ASSERT_TRUE(english.contains(QStringLiteral("Look in:"))) << english.join(" | ").toStdString();

    std::unique_ptr<QTranslator> romanian(installQtDialogTranslation(QLocale(QLocale::Romanian, QLocale::Romania)));
    ASSERT_TRUE(romanian) << "no Romanian translation of Qt's dialogs";
    const QString shots = qEnvironmentVariable("CORVANE_SHOTS");
    const QStringList shown = saveDialogTexts(folder.path(), shots.isEmpty() ? QString() : shots + "/save-dialog-ro.png");
    // What may read the same in both: the app's own title, file name and type, folders and paths.
    const QString home = QDir::home().dirName();
    QStringList untranslated;
    for (const QString &t : shown)
        if (english.contains(t) && !t.contains('/') && !t.startsWith(QLatin1String("Corvane_Report_"))
            && !t.startsWith(QLatin1String("Raport Corvane")) && t != QStringLiteral("Salvează raportul de sistem") && t != home && t != QLatin1String("Documente"))
            untranslated << t;
    EXPECT_TRUE(untranslated.isEmpty()) << "still English: " << untranslated.join(" | ").toStdString();
    for (const char *ro : {"Caută în:", "&Nume fișier:", "Fișiere de tipul:", "&Salvează", "Anulează", "Calculator",
                           "Nume", "Dimensiune", "Tip", "Data modificării"})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(ro))) << ro << " missing from " << shown.join(" | ").toStdString();
    // Nor English for locales the app carries nothing for.
    EXPECT_EQ(installQtDialogTranslation(QLocale(QLocale::English, QLocale::UnitedStates)), nullptr);
}
