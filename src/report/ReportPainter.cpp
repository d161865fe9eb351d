#include "report/ReportPainter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace corvane {

namespace {

constexpr double kInset = 28;
constexpr double kSpacing = 14;
constexpr double kGlyphSize = 40;
constexpr double kBoxRadius = 6;
constexpr double kColumnGap = 18;
constexpr double kLabelWidth = 170;
constexpr double kRowGap = 8;
constexpr double kDividerHeight = 1;
// Tightness steps tried before the page is scaled.
constexpr int kTightnessSteps = 8;
// Rows closer than one and a half times their text size run together into columns when the
// PDF's text is copied or extracted (label after label, then value after value).
constexpr double kTightestRowSpacing = 3;

const QColor kBlack(0, 0, 0);
const QColor kGrey(142, 142, 147);
const QColor kBoxFill(0, 0, 0, 10); // black at 4 %
const QColor kDivider(0, 0, 0, 30);

// "Rounded design" is Quicksand, the default design DejaVu Sans: both carry ș, ț and "—"
// and read back as written when text is copied or extracted (Inter's contextual forms of
// "—" and ":" do not).
QFont font(const char *family, double size, QFont::Weight weight, double tracking = 0)
{
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(size);
    f.setWeight(weight);
    if (tracking > 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return f;
}

QFont rounded(double size, QFont::Weight weight = QFont::Normal, double tracking = 0)
{
    return font("Quicksand", size, weight, tracking);
}

QFont plain(double size, QFont::Weight weight = QFont::Normal)
{
    return font("DejaVu Sans", size, weight);
}

// The brand glyph filled black through its alpha, drawn sharp at 4x.
const QImage &glyphImage()
{
    static const QImage image = [] {
        QImageReader reader(QStringLiteral(":/images/VexelMark.svg"));
        reader.setScaledSize(QSize(160, 160));
        QImage img = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (img.isNull())
            return img;
        QPainter p(&img);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), Qt::black);
        return img;
    }();
    return image;
}

} // namespace

// The vertical spacing, from the designed one (tightness 0) to the tightest that still
// reads as boxes and rows, on the page and in its copied text (1).
struct ReportPainter::Spacing {
    double block;      // between the page's blocks
    double boxPadding; // inside a section box
    double rowSpacing; // between a box's rows
    double titleGap;   // below a box's title, on top of the row spacing

    static Spacing at(double t)
    {
        auto mix = [t](double designed, double tightest) { return designed + (tightest - designed) * t; };
        return {mix(kSpacing, 4), mix(10, 4), mix(4, kTightestRowSpacing), mix(4, 0)};
    }
};

struct ReportPainter::Pass {
    QPainter *painter; // null while measuring
    QPaintDevice *device;
    Spacing spacing = Spacing::at(0);

    // Lays `text` out `width` wide, wrapping at word boundaries (or anywhere for a word
    // longer than the line); draws it at `at` when painting. Returns its height.
    double text(const QString &text, const QFont &f, const QColor &colour, QPointF at, double width) const
    {
        QTextLayout layout(text, f, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.setCacheEnabled(true);
        double height = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();
        if (painter) {
            painter->setPen(colour);
            layout.draw(painter, at);
        }
        return height;
    }

    double advance(const QString &text, const QFont &f) const
    {
        return QFontMetricsF(f, device).horizontalAdvance(text);
    }

    void divider(double x, double y, double width) const
    {
        if (painter)
            painter->fillRect(QRectF(x, y, width, kDividerHeight), kDivider);
    }
};

ReportPainter::ReportPainter(const ReportDocument &doc, QPaintDevice *device) : m_doc(doc), m_device(device) {}

double ReportPainter::header(Pass &pass, double y, double width) const
{
    const QFont brand = rounded(11, QFont::Black, 2.5);
    const QFont title = rounded(22, QFont::Bold);
    const QFont date = plain(10);
    const double textX = kGlyphSize + kSpacing;
    const double textWidth = std::max(1.0, width - textX);

    Pass measure{nullptr, pass.device};
    const double h1 = measure.text(report::kBrandLine, brand, kBlack, {}, textWidth);
    const double h2 = measure.text(report::kTitle, title, kBlack, {}, textWidth);
    const double h3 = measure.text(m_doc.dateText, date, kGrey, {}, textWidth);
    const double textsHeight = h1 + 2 + h2 + 2 + h3;
    const double height = std::max(kGlyphSize, textsHeight);
    if (pass.painter) {
        if (!glyphImage().isNull())
            pass.painter->drawImage(QRectF(0, y + (height - kGlyphSize) / 2, kGlyphSize, kGlyphSize), glyphImage());
        double ty = y + (height - textsHeight) / 2;
        ty += pass.text(report::kBrandLine, brand, kBlack, {textX, ty}, textWidth) + 2;
        ty += pass.text(report::kTitle, title, kBlack, {textX, ty}, textWidth) + 2;
        pass.text(m_doc.dateText, date, kGrey, {textX, ty}, textWidth);
    }
    return height;
}

double ReportPainter::section(Pass &pass, const ReportSectionText &s, double x, double y, double width) const
{
    const QFont titleFont = rounded(10, QFont::Black, 1.8);
    const QFont rowFont = rounded(10);
    const Spacing &sp = pass.spacing;
    const double inner = std::max(1.0, width - 2 * sp.boxPadding);
    const double valueX = kLabelWidth + kRowGap;
    const double valueWidth = std::max(1.0, inner - valueX);

    // Measure first: the box is filled before its text is drawn on it.
    Pass measure{nullptr, pass.device};
    const QString title = report::sectionTitle(s.title);
    double height = measure.text(title, titleFont, kBlack, {}, inner) + sp.titleGap;
    QList<double> rowHeights;
    for (const ReportRow &row : s.rows) {
        const double h = std::max(measure.text(row.label, rowFont, kGrey, {}, kLabelWidth),
                                  measure.text(row.value, rowFont, kBlack, {}, valueWidth));
        rowHeights.append(h);
        height += sp.rowSpacing + h;
    }
    height += 2 * sp.boxPadding;

    if (pass.painter) {
        QPainterPath box;
        box.addRoundedRect(QRectF(x, y, width, height), kBoxRadius, kBoxRadius);
        pass.painter->fillPath(box, kBoxFill);
        const double left = x + sp.boxPadding;
        double ry = y + sp.boxPadding;
        ry += pass.text(title, titleFont, kBlack, {left, ry}, inner) + sp.titleGap;
        for (qsizetype i = 0; i < s.rows.size(); ++i) {
            ry += sp.rowSpacing;
            // The label keeps its column; a long one wraps inside it, level with the value's first line.
            pass.text(s.rows[i].label, rowFont, kGrey, {left, ry}, kLabelWidth);
            pass.text(s.rows[i].value, rowFont, kBlack, {left + valueX, ry}, valueWidth);
            ry += rowHeights[i];
        }
    }
    return height;
}

double ReportPainter::footer(Pass &pass, double y, double width) const
{
    const QFont f = plain(9, QFont::DemiBold);
    double height = kDividerHeight + 4;
    pass.divider(0, y, width);
    const double domainWidth = pass.advance(report::kPublisherDomain, f);
    const double lineHeight = std::max(
        pass.text(report::productLine(), f, kGrey, {0, y + height}, std::max(1.0, width - domainWidth - kRowGap)),
        pass.text(report::kPublisherDomain, f, kGrey, {width - domainWidth, y + height}, domainWidth + 1));
    return height + lineHeight;
}

double ReportPainter::layout(Pass &pass, double width, double height) const
{
    const auto &sections = m_doc.sections;
    auto section = [&](qsizetype i, double x, double y, double w) {
        return i < sections.size() ? this->section(pass, sections[i], x, y, w) : 0.0;
    };

    const double gap = pass.spacing.block;
    double y = header(pass, 0, width) + gap;
    pass.divider(0, y, width);
    y += kDividerHeight + gap;
    y += section(0, 0, y, width) + gap;
    y += section(1, 0, y, width) + gap;
    const double column = (width - kColumnGap) / 2;
    y += std::max(section(2, 0, y, column), section(3, column + kColumnGap, y, column)) + gap;
    y += section(4, 0, y, width) + gap;
    y += section(5, 0, y, width) + gap;
    y += section(6, 0, y, width) + gap;

    // The flexible gap: the footer sits on the bottom edge of the inset area.
    Pass measure{nullptr, pass.device, pass.spacing};
    const double footerHeight = footer(measure, 0, width);
    if (pass.painter)
        footer(pass, std::max(y, height - footerHeight), width);
    return y + footerHeight;
}

double ReportPainter::contentHeight(double width, double tightness) const
{
    Pass measure{nullptr, m_device, Spacing::at(tightness)};
    return layout(measure, width, 0);
}

ReportPainter::Fit ReportPainter::fit(QSizeF page) const
{
    const double width = page.width() - 2 * kInset;
    const double height = page.height() - 2 * kInset;
    // Spacing goes before size: a report a few rows too tall keeps its 10-point text.
    double natural = 0;
    for (int step = 0; step <= kTightnessSteps; ++step) {
        const double t = double(step) / kTightnessSteps;
        natural = contentHeight(width, t);
        if (natural <= height)
            return {t, 1.0};
    }
    return {1.0, natural > 0 ? height / natural : 1.0};
}

double ReportPainter::fitScale(QSizeF page, bool tighten) const
{
    if (tighten)
        return fit(page).scale;
    const double height = page.height() - 2 * kInset;
    const double natural = contentHeight(page.width() - 2 * kInset);
    return natural > height && natural > 0 ? height / natural : 1.0;
}

void ReportPainter::paint(QPainter &painter, QSizeF page) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(QPointF(0, 0), page), Qt::white);
    const Fit f = fit(page);
    painter.translate(kInset, kInset);
    painter.scale(f.scale, f.scale);
    Pass pass{&painter, m_device, Spacing::at(f.tightness)};
    layout(pass, (page.width() - 2 * kInset) / f.scale, (page.height() - 2 * kInset) / f.scale);
    painter.restore();
}

} // namespace corvane
