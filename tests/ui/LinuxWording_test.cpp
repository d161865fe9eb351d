// Texts that name the platform say what this build runs on: each place shows the Linux
// wording and no longer the Apple one.
#include "checks/ReportLine.h"
#include "fakes/FakeHub.h"
#include "fakes/FakeProcessLauncher.h"
#include "monitors/SMCMonitor.h"
#include "report/ReportContent.h"
#include "support/QmlTestUtil.h"

#include <QDir>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace corvane;

namespace {

struct WordingCase {
    const char *name;
    const char *place; // a module screen, or a text built outside QML
    const char *before;
    const char *after;
};
void PrintTo(const WordingCase &c, std::ostream *os) { *os << c.name; }

// Shown under the fan card after a refused command and after one with no helper installed.
QStringList fanMessages()
{
    test::FakeClock clock;
    auto smc = std::make_unique<test::FakeSmcTransport>();
    smc->ui8("FNum", 1);
    SMCMonitor mon(std::move(smc), clock, false);
    auto *launcher = new test::FakeProcessLauncher;
    launcher->next = test::FakeProcessLauncher::exited(1);
    mon.fanControl()->setProcessLauncher(std::unique_ptr<ProcessLauncher>(launcher));
    QStringList out;
    for (const QString &helper : {QStringLiteral("/opt/corvane/libexec/smcfan"), QString()}) {
        mon.fanControl()->setHelperPath(helper);
        QSignalSpy done(&mon, &SMCMonitor::fanCommandFinished);
        mon.setFanTarget(2500.0, std::nullopt);
        EXPECT_TRUE(!done.isEmpty() || done.wait(5000));
        out << mon.fanControlMessage().value_or(QString());
    }
    return out;
}

QStringList reportTexts()
{
    QStringList out{report::fileName(QDateTime(QDate(2026, 3, 8), QTime(9, 5)))};
    for (const auto &section : ReportDocument::build(ReportSnapshot{}, QDateTime::currentDateTime()).sections)
        for (const auto &row : section.rows)
            out << row.label;
    return out;
}

const std::map<std::string, std::function<QStringList()>> kBuilt{
    {"GpuStressCard", [] { return QStringList{StressRules::gpuSubtitle(30)}; }},
    {"CpuVerdict", [] { return QStringList{StressRules::cpuVerdict(250)}; }},
    {"GpuVerdict", [] { return QStringList{StressRules::gpuVerdict(90, 120, true)}; }},
    {"Report", reportTexts},
    {"FanCard", fanMessages},
};

void textItems(QQuickItem *item, QList<QQuickItem *> &out)
{
    if (item->property("text").userType() == QMetaType::QString)
        out << item;
    for (QQuickItem *child : item->childItems())
        textItems(child, out);
}

class LinuxWording : public ::testing::TestWithParam<WordingCase> {};

} // namespace

TEST_P(LinuxWording, ShownInPlaceOfTheAppleWording)
{
    const WordingCase &c = GetParam();
    const QString before = QString::fromUtf8(c.before), after = QString::fromUtf8(c.after);
    if (auto built = kBuilt.find(c.place); built != kBuilt.end()) {
        const QString shown = built->second().join('\n');
        EXPECT_TRUE(shown.contains(after)) << shown.toStdString();
        EXPECT_FALSE(shown.contains(before)) << shown.toStdString();
        return;
    }

    test::FakeHub hub;
    test::QmlHarness h;
    QQuickWindow window;
    window.resize(1280, 800);
    const QString place = QLatin1String(c.place);
    QTemporaryDir dir(QDir::currentPath() + "/wording-XXXXXX");
    QVariantMap initial;
    if (place == u"SSDSpeedTestView")
        initial = {{"totalMB", 64}, {"selectedVolumePath", dir.path()}};
    auto root = h.createFile("qrc:/Corvane/" + place + ".qml", initial);
    auto *item = qobject_cast<QQuickItem *>(root.get());
    ASSERT_TRUE(item) << h.warnings().join('\n').toStdString();
    item->setParentItem(window.contentItem());
    // The sheet and the card keep their own size; screens fill the window.
    const bool ownSize = place == u"OnboardingView" || place == u"HelpAboutCard";
    item->setSize(ownSize ? QSizeF(item->implicitWidth(), item->implicitHeight()) : QSizeF(window.size()));
    window.show();
    if (place == u"SSDSpeedTestView") { // the mode shows in the card at the end of the run
        QTRY_VERIFY_WITH_TIMEOUT(test::findItem(item, "reportCard")->isVisible(), 60000);
    }

    // Every page of the sheet; other places have one.
    bool shown = false;
    const int pages = place == u"OnboardingView" ? 3 : 1;
    for (int page = 0; page < pages; ++page) {
        if (pages > 1)
            item->setProperty("step", page);
        ASSERT_TRUE(test::waitForFrames(window));
        QList<QQuickItem *> texts;
        textItems(item, texts);
        for (QQuickItem *t : texts) {
            const QString text = t->property("text").toString();
            EXPECT_FALSE(text.contains(before)) << text.toStdString();
            shown |= text.contains(after);
        }
    }
    EXPECT_TRUE(shown) << "not shown: " << c.after;
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Texts, LinuxWording, ::testing::Values(
    WordingCase{"OnboardingLogin", "OnboardingView",
                "te loghezi la macOS — fără să te gândești la el. Iconița mică din menu bar",
                "te loghezi în sesiunea desktop — fără să te gândești la el. Iconița mică din tray"},
    WordingCase{"OnboardingNotifications", "OnboardingView", "notificări native macOS", "notificări native de desktop"},
    WordingCase{"OnboardingCamera", "OnboardingView", "Detectare cameră via CMIO listeners", "Detectare cameră via V4L2 + inotify"},
    WordingCase{"OnboardingMicrophone", "OnboardingView", "Detectare microfon via CoreAudio listeners",
                "Detectare microfon via PulseAudio listeners"},
    WordingCase{"SettingsReport", "SettingsView", "informațiile despre Mac-ul tău", "informațiile despre computerul tău"},
    WordingCase{"SettingsWorkspaces", "SettingsView", "pe toate Space-urile", "pe toate workspace-urile"},
    WordingCase{"AboutDescription", "HelpAboutCard", "Monitor de sistem nativ pentru macOS", "Monitor de sistem nativ pentru Linux"},
    WordingCase{"AboutStorage", "HelpAboutCard", "sunt în Application Support", "rămân pe acest computer"},
    WordingCase{"AboutInterfaces", "HelpAboutCard",
                "API-uri publice Apple (CMIO, CoreAudio, IOKit, EventKit, CoreWLAN, SMAppService)",
                "API-uri publice Linux (V4L2, PulseAudio, sysfs/procfs, EDS, nl80211, XDG autostart)"},
    WordingCase{"AboutFooter", "HelpAboutCard", "Made on a Mac", "Made for Linux"},
    WordingCase{"PortsHeader", "PortsView", "Tot ce e conectat la Mac", "Tot ce e conectat la acest computer"},
    WordingCase{"NoSensors", "DashboardView", "nu sunt disponibili pe acest Mac", "nu sunt disponibili pe acest computer"},
    WordingCase{"CrashOpen", "CrashLogDetail", "Deschide în Console", "Deschide fișierul"},
    WordingCase{"RamSources", "RAMInfoView", "Pagini Mach: vm.statistics64 · vm.swapusage",
                "Kernel: /proc/meminfo · /proc/pressure/memory"},
    WordingCase{"SsdMode", "SSDSpeedTestView", "F_NOCACHE (direct)", "O_DIRECT (direct)"},
    WordingCase{"GpuStressSubtitle", "GpuStressCard", "Metal fragment shader", "OpenGL fragment shader"},
    WordingCase{"CpuTopVerdict", "CpuVerdict", "Apple Silicon top", "Procesor de top"},
    WordingCase{"GpuTopVerdict", "GpuVerdict", "Dedicat / M-series puternic", "Dedicat / integrat puternic"},
    WordingCase{"ReportFileName", "Report", "Corvane_Mac_Report_", "Corvane_Report_2026-03-08_0905.pdf"},
    WordingCase{"ReportFreeSpace", "Report", "Spațiu liber (purgeable inclus)", "Spațiu liber (fără rezerva root)"},
    WordingCase{"FanRefused", "FanCard", "SMC a refuzat comanda", "Ventilatorul a refuzat comanda"},
    WordingCase{"FanHelperMissing", "FanCard", "lipsește din bundle", "Helper-ul smcfan lipsește din instalare"}),
    [](const auto &i) { return std::string(i.param.name); });
