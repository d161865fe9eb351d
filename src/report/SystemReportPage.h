#pragma once
// The one-page PDF system report. Until the report itself exists the export does nothing.
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace corvane {

class AppState;

class SystemReportPage : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    explicit SystemReportPage(QObject *parent = nullptr);

    // Renders the report for `state`, asks where to save it and opens the file.
    static void exportPDF(AppState *state);
    // QML side: exports the shared hub's report.
    Q_INVOKABLE void exportPDF();
};

} // namespace corvane
