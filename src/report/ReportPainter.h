#pragma once
// Lays the report out on one page and draws it with a QPainter: header, divider, the
// section boxes (storage and battery side by side), a flexible gap and the footer.
// Units are points; content taller than the page is scaled down to fit it.
#include "report/ReportContent.h"

#include <QSizeF>

class QPainter;
class QPaintDevice;

namespace corvane {

class ReportPainter {
public:
    static constexpr double kPageWidth = 612;
    static constexpr double kPageHeight = 792;

    // `device` supplies the font metrics: the one that will be painted on.
    ReportPainter(const ReportDocument &doc, QPaintDevice *device);

    // Height of everything but the flexible gap, laid out `width` points wide.
    double contentHeight(double width) const;
    // The factor the content is drawn at on a page of `page` size (1 when it fits).
    double fitScale(QSizeF page) const;
    void paint(QPainter &painter, QSizeF page = {kPageWidth, kPageHeight}) const;

private:
    struct Pass;
    double header(Pass &pass, double y, double width) const;
    double section(Pass &pass, const ReportSectionText &section, double x, double y, double width) const;
    double footer(Pass &pass, double y, double width) const;
    double layout(Pass &pass, double width, double height) const;

    const ReportDocument &m_doc;
    QPaintDevice *m_device;
};

} // namespace corvane
