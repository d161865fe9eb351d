#pragma once
// The one-page PDF system report: asks where to save it, reads the hub's figures at that
// moment, writes the page atomically and opens the result in the desktop's PDF viewer.
#include "report/ReportContent.h"

#include <QDateTime>
#include <QObject>
#include <QSizeF>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QIODevice;
class QPainter;
class QWindow;

namespace corvane {

class AppState;

// Draws one page of `pageSize` points into `out` as PDF (vector text, fonts embedded).
// False when no PDF could be started on the device.
bool writePDF(QIODevice *out, QSizeF pageSize, const std::function<void(QPainter &)> &draw);

class SystemReportPage : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    explicit SystemReportPage(QObject *parent = nullptr);

    // The steps of one export that touch the desktop or the clock.
    struct Hooks {
        std::function<QDateTime()> now;
        // The chosen path, or empty when the user cancelled.
        std::function<QString(const QString &suggestedName)> chooseFile;
        // Optional: runs its argument once the figures are worth reading (later, never
        // waiting for them here).
        std::function<void(std::function<void()>)> whenFiguresReady;
        // The figures, read once the user has confirmed (and they are ready).
        std::function<ReportSnapshot()> capture;
        std::function<void(const QString &message)> showError;
        // False when the desktop could not hand the file to a viewer.
        std::function<bool(const QUrl &file)> open;
    };

    // Renders the report for `state`, asks where to save it and opens the file.
    static void exportPDF(AppState *state);
    // QML side: exports the shared hub's report.
    Q_INVOKABLE void exportPDF();
    // The save dialog, kept with `owner` and starting in the documents folder.
    static std::unique_ptr<QFileDialog> saveDialog(QWindow *owner, const QString &suggestedName);

    // One export through `hooks`; true when the file was written (and handed to `open`), or
    // with `whenFiguresReady` set, when a file was chosen (the rest follows when ready).
    static bool exportWith(const Hooks &hooks);
    // Writes the page to `path` through a temporary file that replaces `path` only once
    // complete. The user-facing reason on failure.
    static std::optional<QString> writeReport(const QString &path, const ReportDocument &doc);
    // The report was written but no viewer took it.
    static QString notOpenedText(const QString &path);
};

} // namespace corvane
