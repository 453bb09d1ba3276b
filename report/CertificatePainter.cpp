#include "report/CertificatePainter.h"

#include "cal/DecisionRule.h"
#include "core/Numbers.h"

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {

const TextStyle Title{16.0, true};
const TextStyle Number{11.0, true};
const TextStyle Subtitle{10.0, false};
const TextStyle Section{9.5, true};
const TextStyle Body{8.5, false};
const TextStyle BodyBold{8.5, true};
const TextStyle Cell{7.5, false};
const TextStyle CellBold{7.5, true};
const Stroke Thin{1, false, Qt::black};
const Stroke Light{1, false, QColor(150, 150, 150)};
const Stroke Firm{2, false, Qt::black};

constexpr double LinePitch = 4.4;
constexpr double SectionGap = 2.5;
constexpr double SecondColumn = 108.0;
constexpr double LabelWidth = 36.0;
constexpr double CellInset = 1.5;

// Column widths of the results tables, in millimetres; they fill the 186 mm between the margins.
constexpr double ColumnWidths[11] = {11, 17, 17, 19, 16, 16, 20, 20, 17, 14, 19};

struct Column {
    const char* name;
    bool unit;    // the table's unit under the name
    bool centred; // words; numbers are right-aligned
};
constexpr Column Columns[11] = {
    {"Spot", false, true},      {"Setting", true, false}, {"Display", true, false},     {"Reference", true, false},
    {"Check", false, true},     {"Error", true, false},   {"Lower limit", true, false}, {"Upper limit", true, false},
    {"U (k = 2)", true, false}, {"TUR", false, false},    {"Result", false, true},
};

QString DateText(const QDate& date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QStringLiteral("not given");
}

QString OrNotGiven(const QString& text)
{
    return text.trimmed().isEmpty() ? QStringLiteral("not given") : text.trimmed();
}

} // namespace

CertificatePainter::CertificatePainter(const ReportData& data, ReportCanvas& canvas)
    : d_(data), c_(*data.certificate), canvas_(canvas), width_(canvas.pageSize().width()),
      height_(canvas.pageSize().height()), right_(width_ - Margin)
{
    double x = Margin;
    edges_[0] = x;
    for (int j = 0; j < 11; ++j)
        edges_[j + 1] = x += ColumnWidths[j];
    edges_[11] = right_;
}

bool CertificatePainter::paint()
{
    pages_.clear();
    pages_.append(QList<Draw>());
    y_ = Top;
    layOut();
    const int count = static_cast<int>(pages_.size());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !canvas_.newPage())
            return false;
        for (const Draw& d : pages_[i])
            d();
        foot(i + 1, count);
    }
    return true;
}

void CertificatePainter::layOut()
{
    layOutHead();
    layOutReferences();
    layOutConditions();
    layOutRule();

    heading(QStringLiteral("Results"));
    const QString noFound = c_.adjusted ? QStringLiteral("Not measured: the unit was not verified before adjustment.")
                                        : QStringLiteral("No adjustment: the results below are as found and as left.");
    // Printed from the rows the records keep, so that the paper and the store say the same.
    const QList<MeasurementRow> rows = MeasurementRows::Build(c_, d_.SerialNo);
    const auto lines = [&rows](bool current, const QString& state) {
        QList<MeasurementRow> picked;
        for (const MeasurementRow& r : rows)
            if ((r.quantity == u"I") == current && r.state == state)
                picked << r;
        return CertificateLines(current, picked);
    };
    for (const bool current : {false, true}) {
        const QString quantity = current ? QStringLiteral("Current (A)") : QStringLiteral("Voltage (V)");
        layOutTable(
            {quantity + QStringLiteral(", as found"), current, lines(current, QStringLiteral("found")), noFound});
        layOutTable({quantity + QStringLiteral(", as left"), current, lines(current, QStringLiteral("left")),
                     QStringLiteral("Not measured.")});
    }
    layOutSignature();
}

void CertificatePainter::layOutHead()
{
    draw([this] {
        canvas_.text(Margin, Top, QStringLiteral("CALIBRATION CERTIFICATE"), Title);
        const QString label = QStringLiteral("Certificate No.");
        canvas_.text(right_ - canvas_.textWidth(label, Body), Top, label, Body);
        canvas_.text(right_ - canvas_.textWidth(c_.number, Number), Top + 4.5, c_.number, Number);
        canvas_.text(Margin, Top + 8, QStringLiteral("200 W Switching Mode Programmable Power Supply"), Subtitle);
        canvas_.line(QLineF(Margin, Top + 14, right_, Top + 14), Firm);
    });
    y_ = Top + 17;

    heading(QStringLiteral("Unit under test"));
    const bool fraction = d_.rating && d_.rating->printsCurrentFraction;
    const QString rating = QStringLiteral("%1 V, %2 A")
                               .arg(num::Shortest(std::trunc(d_.MaxV)),
                                    fraction ? num::Fixed(d_.MaxI, 1) : num::Shortest(std::trunc(d_.MaxI)));
    fields(QStringLiteral("Model"), OrNotGiven(d_.ClientModel), QStringLiteral("Serial No."), OrNotGiven(d_.SerialNo));
    fields(QStringLiteral("Rating"), rating, QStringLiteral("Result"),
           d_.AllPass ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
    y_ += SectionGap;

    heading(QStringLiteral("Calibration"));
    fields(QStringLiteral("Date of calibration"), DateText(d_.StartDate), QStringLiteral("Calibrated by"),
           OrNotGiven(d_.TestedBy));
    {
        const double y = y_;
        draw([this, y] { canvas_.text(Margin, y, QStringLiteral("Procedure"), Body); });
        y_ += std::max(LinePitch,
                       paragraph(Margin + LabelWidth, right_ - Margin - LabelWidth, OrNotGiven(c_.procedure), Body) +
                           0.6);
    }
    fields(QStringLiteral("Software"), QStringLiteral("psucal " PSUCAL_VERSION), QStringLiteral("Adjusted"),
           c_.adjusted ? QStringLiteral("yes") : QStringLiteral("no (no adjustment)"));
    if (!c_.bench.isEmpty())
        fields(QStringLiteral("Bench"), c_.bench, QString(), QString());
    y_ += SectionGap;
}

void CertificatePainter::layOutConditions()
{
    heading(QStringLiteral("Environment"));
    const auto given = [](const QString& v, const QString& unit) {
        return v.trimmed().isEmpty() ? QStringLiteral("not recorded") : v.trimmed() + unit;
    };
    fields(QStringLiteral("Ambient temperature"), given(d_.AmbientTemp, QStringLiteral(" °C")),
           QStringLiteral("Relative humidity"), given(c_.humidity, QStringLiteral(" %")));
    y_ += SectionGap;
}

void CertificatePainter::heading(const QString& title)
{
    room(12);
    const double y = y_;
    draw([this, y, title] { canvas_.text(Margin, y, title, Section); });
    y_ += 5.5;
}

void CertificatePainter::fields(const QString& label1, const QString& value1, const QString& label2,
                                const QString& value2)
{
    field(Margin, LabelWidth, label1, value1);
    if (!label2.isEmpty())
        field(SecondColumn, LabelWidth - 8, label2, value2);
    y_ += LinePitch;
}

void CertificatePainter::layOutReferences()
{
    heading(QStringLiteral("Reference standards"));
    const double x[4] = {Margin, Margin + 18, Margin + 104, Margin + 144};
    const auto line = [&](const QStringList& cells, const TextStyle& style) {
        const double at = y_;
        draw([this, at, cells, style, x] {
            for (int i = 0; i < cells.size(); ++i)
                canvas_.text(x[i], at, cells[i], style);
        });
        y_ += LinePitch;
    };
    const auto due = [this](const QDate& date) {
        const bool past = date.isValid() && d_.StartDate.isValid() && date < d_.StartDate;
        return DateText(date) + (past ? QStringLiteral(" (overdue)") : QString());
    };
    line({QStringLiteral("Standard"), QStringLiteral("Description"), QStringLiteral("Identification"),
          QStringLiteral("Calibration due")},
         BodyBold);
    QString meter = c_.meterIdentity.trimmed().isEmpty()
                        ? QStringLiteral("%1 (did not identify itself)").arg(OrNotGiven(d_.EquipmentText))
                        : c_.meterIdentity.trimmed();
    // Maker, model and serial number name the meter; a long firmware field gives way first.
    const double room = x[2] - x[1] - 2;
    if (canvas_.textWidth(meter, Body) > room)
        meter = meter.section(u',', 0, 2);
    while (meter.size() > 1 && canvas_.textWidth(meter, Body) > room)
        meter = meter.left(meter.size() - 2) + QStringLiteral("…");
    line({QStringLiteral("Meter"), meter, OrNotGiven(c_.meterId), due(c_.meterCalDue)}, Body);
    line({QStringLiteral("Shunt"),
          QStringLiteral("%1 Ω ± %2 %").arg(num::Shortest(c_.shuntOhm), num::Shortest(c_.shuntTol)),
          OrNotGiven(c_.shuntId), due(c_.shuntCalDue)},
         Body);
    if (c_.referenceOverdue) {
        y_ += 1;
        y_ += paragraph(Margin, right_ - Margin,
                        QStringLiteral("Note: reference overdue. A reference standard was past its calibration due "
                                       "date when this calibration was made; the operator allowed the run."),
                        BodyBold);
    }
    y_ += SectionGap;
}

void CertificatePainter::layOutRule()
{
    heading(QStringLiteral("Decision rule"));
    const double width = right_ - Margin;
    y_ += paragraph(Margin, width,
                    cal::DecisionRuleText(c_.guardRule ? cal::DecisionRule::Guard : cal::DecisionRule::Simple), Body);
    y_ += 1.5;
    y_ += paragraph(Margin, width,
                    QStringLiteral("Each spot is checked twice. display: the supply's display against its setting, "
                                   "Error = Display − Setting, for information; its result says where the display "
                                   "lies in its window, ok, high or low (starred within U of a limit), never Pass "
                                   "or Fail. It takes no reference reading, so its U comes from the display "
                                   "resolution alone: U = 2 × resolution / √12. output: the reference reading "
                                   "against the display, Error = Reference − Display; this check decides the "
                                   "result, Pass or Fail. Its U combines the meter's accuracy on the range read, "
                                   "the meter's resolution, the shunt's tolerance for current and the scatter of "
                                   "the readings. TUR = (Upper limit − Lower limit) / (2 U)."),
                    Body);
    y_ += SectionGap + 1;
}

void CertificatePainter::layOutTable(const Table& table)
{
    // A title never stands alone at the foot of a page.
    if (!room(6 + HeadHeight + 2 * RowHeight))
        y_ += 2;
    if (table.lines.isEmpty()) {
        const double y = y_;
        draw([this, y, table] {
            canvas_.text(Margin, y, table.title, BodyBold);
            canvas_.text(Margin, y + LinePitch, table.empty, Body);
        });
        y_ += 2 * LinePitch + 3;
        return;
    }
    tableHead(table, false);
    for (qsizetype i = 0; i < table.lines.size(); ++i) {
        const bool first = i % 2 == 0;
        if (!room(first ? 2 * RowHeight : RowHeight))
            tableHead(table, true);
        row(table.lines[i], first);
    }
    y_ += 5;
}

void CertificatePainter::tableHead(const Table& table, bool continued)
{
    const double y = y_;
    const QString title = continued ? table.title + QStringLiteral(" (continued)") : table.title;
    const QString unit = table.current ? QStringLiteral("(A)") : QStringLiteral("(V)");
    draw([this, y, title, unit] {
        canvas_.text(Margin, y, title, BodyBold);
        const double top = y + 5;
        canvas_.rect(QRectF(QPointF(Margin, top), QPointF(right_, top + HeadHeight)), Thin);
        for (int j = 0; j < 11; ++j) {
            const double l = edges_[j], r = edges_[j + 1];
            const auto centred = [&](const QString& t, double at) {
                canvas_.text(l + (r - l - canvas_.textWidth(t, CellBold)) / 2, at, t, CellBold);
            };
            centred(QString::fromUtf8(Columns[j].name), top + 0.6);
            if (Columns[j].unit)
                centred(unit, top + 4.2);
            if (j > 0)
                canvas_.line(QLineF(l, top, l, top + HeadHeight), Thin);
        }
    });
    y_ = y + 5 + HeadHeight;
}

void CertificatePainter::row(const CertificateLine& line, bool firstOfSpot)
{
    const double y = y_;
    const QString cells[11] = {line.spot,  line.setting, line.display, line.reference, line.check, line.error,
                               line.lower, line.upper,   line.U,       line.tur,       line.result};
    // Only a failed output check stands out: the display check is for information.
    const bool flagged = line.result.startsWith(u'F');
    draw([this, y, cells, firstOfSpot, flagged] {
        const double bottom = y + RowHeight;
        // Spots are ruled off from one another; a spot's two checks only by a light line.
        canvas_.line(QLineF(Margin, bottom, right_, bottom), firstOfSpot ? Light : Thin);
        for (int j = 0; j <= 11; ++j)
            canvas_.line(QLineF(edges_[j], y, edges_[j], bottom), Thin);
        for (int j = 0; j < 11; ++j) {
            const TextStyle& style = j == 10 && flagged ? CellBold : Cell;
            const double w = canvas_.textWidth(cells[j], style);
            const double x =
                Columns[j].centred ? edges_[j] + (edges_[j + 1] - edges_[j] - w) / 2 : edges_[j + 1] - CellInset - w;
            canvas_.text(x, y + 0.7, cells[j], style);
        }
    });
    y_ += RowHeight;
}

void CertificatePainter::layOutSignature()
{
    room(26);
    y_ += 4;
    const double y = y_;
    draw([this, y] {
        const QString by = QStringLiteral("Calibrated by: ") + OrNotGiven(d_.TestedBy);
        canvas_.text(Margin, y, by, Body);
        canvas_.text(SecondColumn, y, QStringLiteral("Approved by:"), Body);
        canvas_.line(QLineF(Margin, y + 14, Margin + 70, y + 14), Thin);
        canvas_.line(QLineF(SecondColumn, y + 14, right_, y + 14), Thin);
        canvas_.text(Margin, y + 15, QStringLiteral("Signature, date"), Cell);
        canvas_.text(SecondColumn, y + 15, QStringLiteral("Signature, date"), Cell);
    });
    y_ += 22;
}

bool CertificatePainter::room(double height)
{
    if (y_ + height <= height_ - FootSpace + 1e-9)
        return true;
    newPage();
    return false;
}

void CertificatePainter::newPage()
{
    pages_.append(QList<Draw>());
    draw([this] {
        canvas_.text(Margin, Top, QStringLiteral("CALIBRATION CERTIFICATE"), BodyBold);
        const QString number = QStringLiteral("Certificate No. ") + c_.number;
        canvas_.text(right_ - canvas_.textWidth(number, BodyBold), Top, number, BodyBold);
        canvas_.text(Margin, Top + 4.5,
                     QStringLiteral("Model %1, Serial No. %2").arg(OrNotGiven(d_.ClientModel), OrNotGiven(d_.SerialNo)),
                     Body);
        canvas_.line(QLineF(Margin, Top + 9.5, right_, Top + 9.5), Firm);
    });
    y_ = Top + 13;
}

void CertificatePainter::field(double x, double labelWidth, const QString& label, const QString& value)
{
    const double y = y_;
    draw([this, x, y, labelWidth, label, value] {
        canvas_.text(x, y, label, Body);
        canvas_.text(x + labelWidth, y, value, Body);
    });
}

// Word-wrapped at `width`; returns the height it takes.
double CertificatePainter::paragraph(double x, double width, const QString& text, const TextStyle& style)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && canvas_.textWidth(longer, style) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines << line;
    const double pitch = style.points * 0.45;
    room(lines.size() * pitch);
    const double y = y_;
    draw([this, x, y, lines, style, pitch] {
        for (int i = 0; i < lines.size(); ++i)
            canvas_.text(x, y + i * pitch, lines[i], style);
    });
    return lines.size() * pitch;
}

void CertificatePainter::foot(int page, int pages)
{
    const double y = height_ - 10;
    canvas_.line(QLineF(Margin, y - 1.5, right_, y - 1.5), Thin);
    canvas_.text(Margin, y, QStringLiteral("Certificate No. ") + c_.number, Cell);
    const QString centre = QStringLiteral("psucal " PSUCAL_VERSION);
    canvas_.text((width_ - canvas_.textWidth(centre, Cell)) / 2, y, centre, Cell);
    const QString n = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    canvas_.text(right_ - canvas_.textWidth(n, Cell), y, n, Cell);
}

} // namespace psucal
