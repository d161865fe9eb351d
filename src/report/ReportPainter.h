#pragma once
// Lays the report out on one page and draws it with a QPainter: header, divider, the
// section boxes (storage and battery side by side), a flexible gap and the footer.
// Units are points. Content taller than the page first loses spacing (gaps between boxes,
// box padding, row gaps), and only what is still too tall is scaled down to fit.
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

    // How the content is fitted onto a page: `tightness` from 0 (the designed spacing) to 1
    // (the tightest), then `scale`, the factor it is drawn at (1 when it fits).
    struct Fit {
        double tightness = 0;
        double scale = 1;
    };

    // Height of everything but the flexible gap, laid out `width` points wide.
    double contentHeight(double width, double tightness = 0) const;
    Fit fit(QSizeF page) const;
    // The factor the content is drawn at on a page of `page` size; `tighten` false keeps the
    // designed spacing and only scales.
    double fitScale(QSizeF page, bool tighten = true) const;
    void paint(QPainter &painter, QSizeF page = {kPageWidth, kPageHeight}) const;

private:
    struct Spacing;
    struct Pass;
    double header(Pass &pass, double y, double width) const;
    double section(Pass &pass, const ReportSectionText &section, double x, double y, double width) const;
    double footer(Pass &pass, double y, double width) const;
    double layout(Pass &pass, double width, double height) const;

    const ReportDocument &m_doc;
    QPaintDevice *m_device;
};

} // namespace corvane
