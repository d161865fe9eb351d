#include "report/SystemReportPage.h"

#include "state/AppState.h"

namespace corvane {

SystemReportPage::SystemReportPage(QObject *parent) : QObject(parent) {}

void SystemReportPage::exportPDF(AppState *) {}

void SystemReportPage::exportPDF() { exportPDF(AppState::shared()); }

} // namespace corvane
