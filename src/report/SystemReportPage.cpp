#include "report/SystemReportPage.h"

#include "common/DialogOwner.h"
#include "platform/DesktopOpener.h"
#include "report/ReportPainter.h"
#include "state/AppState.h"

#include <QDir>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QSaveFile>

namespace corvane {

namespace {
const QString kDialogTitle = QStringLiteral("Salvează raportul de sistem");
} // namespace

bool writePDF(QIODevice *out, QSizeF pageSize, const std::function<void(QPainter &)> &draw)
{
    QPdfWriter writer(out);
    writer.setResolution(72); // one unit is one point
    writer.setPageLayout(QPageLayout(QPageSize(pageSize, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    writer.setCreator(QString());
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    draw(painter);
    return painter.end();
}

SystemReportPage::SystemReportPage(QObject *parent) : QObject(parent) {}

std::optional<QString> SystemReportPage::writeReport(const QString &path, const ReportDocument &doc)
{
    QSaveFile file(path);
    const auto failure = [&](const QString &reason) {
        return QStringLiteral("Raportul nu a putut fi salvat în „%1”.\n%2")
            .arg(QDir::toNativeSeparators(path), reason);
    };
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    const QSizeF page(ReportPainter::kPageWidth, ReportPainter::kPageHeight);
    const bool drawn = writePDF(&file, page, [&](QPainter &painter) { ReportPainter(doc, painter.device()).paint(painter, page); });
    if (!drawn) {
        file.cancelWriting();
        return failure(QStringLiteral("Documentul PDF nu a putut fi creat."));
    }
    // A short write (a full disk) surfaces here; the old file, if any, stays as it was.
    if (!file.commit())
        return failure(file.errorString());
    return std::nullopt;
}

QString SystemReportPage::notOpenedText(const QString &path)
{
    return QStringLiteral("Raportul a fost salvat în „%1”, dar nu a putut fi deschis.\n"
                          "Desktopul nu are un program care să deschidă fișiere PDF.")
        .arg(QDir::toNativeSeparators(path));
}

bool SystemReportPage::exportWith(const Hooks &hooks)
{
    const QDateTime generatedAt = hooks.now();
    // A second reading for the name, as the header's moment is fixed first.
    const QString path = hooks.chooseFile(report::fileName(hooks.now()));
    if (path.isEmpty())
        return false;
    const auto finish = [hooks, generatedAt, path] {
        const ReportDocument doc = ReportDocument::build(hooks.capture(), generatedAt);
        if (const auto error = writeReport(path, doc)) {
            hooks.showError(*error);
            return false;
        }
        // Saved all the same: the user is told where, to open it by other means.
        if (!hooks.open(QUrl::fromLocalFile(path)))
            hooks.showError(notOpenedText(path));
        return true;
    };
    if (hooks.whenFiguresReady) {
        hooks.whenFiguresReady([finish] { finish(); });
        return true;
    }
    return finish();
}

std::unique_ptr<QFileDialog> SystemReportPage::saveDialog(QWindow *owner, const QString &suggestedName)
{
    auto dialog = std::make_unique<QFileDialog>(nullptr, kDialogTitle);
    keepWithOwner(dialog.get(), owner);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QStringLiteral("Raport Corvane Skerrin (*.pdf)"));
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    // Not the folder the app happened to be started from.
    dialog->setDirectory(documentsFolder());
    dialog->selectFile(suggestedName);
    return dialog;
}

void SystemReportPage::exportPDF(AppState *state)
{
    if (!state)
        return;
    // The window the report was asked from, which its dialogs stay with.
    QPointer<QWindow> owner = dialogOwner();
    Hooks hooks;
    hooks.now = [] { return QDateTime::currentDateTime(); };
    hooks.chooseFile = [owner](const QString &suggestedName) {
        const auto dialog = saveDialog(owner, suggestedName);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return QString();
        return dialog->selectedFiles().constFirst();
    };
    // Off the activity tab the process lists may be 15 s old: a fresh pass is taken on the
    // samplers' thread, and the report is made once it has landed.
    hooks.whenFiguresReady = [state](std::function<void()> go) { state->processes()->ensureFresh(std::move(go)); };
    hooks.capture = [state] {
        const auto machine = makeLinuxMachineInfo();
        return ReportSnapshot::capture(ReportSources::from(*state), *machine);
    };
    hooks.showError = [owner](const QString &message) { tellUser(QMessageBox::Warning, kDialogTitle, message, owner); };
    hooks.open = [](const QUrl &file) { return makeDesktopOpener()->open(file); };
    exportWith(hooks);
}

void SystemReportPage::exportPDF() { exportPDF(AppState::shared()); }

} // namespace corvane
