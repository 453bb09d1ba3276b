#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

// The whole certificate run of the real program against the simulated bench, in real time.
namespace {

QString RunProgram(const QStringList& args, int* status)
{
    QProcess p;
    p.start(PSUCAL_PATH, args);
    p.closeWriteChannel();
    p.waitForFinished(540000);
    *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The results lines as pdftotext lays them out, by "V found 3 output": a spot's first line from
// its setting on, the second from the check on.
std::map<QString, QStringList> PrintedLines(const QString& text)
{
    static const QRegularExpression title("(Voltage|Current) \\([VA]\\), as (found|left)");
    std::map<QString, QStringList> lines;
    QString table, spot;
    for (const QString& line : text.split(u'\n')) {
        if (const auto m = title.match(line); m.hasMatch())
            table = (m.captured(1) == u"Voltage" ? "V " : "I ") + m.captured(2);
        const QStringList cells = line.simplified().split(u' ');
        const qsizetype check = std::max(cells.indexOf("display"), cells.indexOf("output"));
        if (check == 4)
            spot = cells[0];
        if (!table.isEmpty() && (check == 0 || check == 4))
            lines[table + u' ' + spot + u' ' + cells[check]] = cells.mid(check == 4 ? 1 : 0);
    }
    return lines;
}

// A printed number is the stored one rounded to the printed places.
bool Same(const QString& printed, double stored)
{
    const qsizetype point = printed.indexOf(u'.');
    const double places = point < 0 ? 0 : printed.size() - point - 1;
    return std::fabs(printed.toDouble() - stored) <= 0.5 * std::pow(10.0, -places) + 1e-12;
}

// The output check's U worked out afresh from a stored row: the 34401A's 1-year accuracy on the
// range it read (the smallest that holds the configured one), the resolution it was set to
// (0.01 V; 1 uV over the 1 mOhm shunt), the shunt's 0.1 %, and the scatter of the readings; k = 2.
double OutputU(bool current, double configuredV, double mean, const QString& readings)
{
    struct Range {
        double volts, pctReading, pctRange;
    };
    constexpr Range Ranges[] = {{0.1, 0.0050, 0.0035},
                                {1, 0.0040, 0.0007},
                                {10, 0.0035, 0.0005},
                                {100, 0.0045, 0.0006},
                                {1000, 0.0045, 0.0010}};
    const Range& r =
        *std::find_if(std::begin(Ranges), std::end(Ranges), [&](const Range& x) { return x.volts >= configuredV; });
    const double scale = current ? 1000 : 1;
    const double meter = (r.pctReading * mean / scale + r.pctRange * r.volts) / 100 * scale / std::sqrt(3.0);
    const double resolution = (current ? 1e-6 : 0.01) * scale / std::sqrt(12.0);
    const double shunt = current ? 0.1 / 100 * mean / std::sqrt(3.0) : 0;
    QList<double> values;
    for (const QString& v : readings.split(u' ', Qt::SkipEmptyParts))
        values << std::fabs(v.toDouble()) * scale;
    double scatter = 0;
    if (values.size() > 1) {
        const double m = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
        for (double v : values)
            scatter += (v - m) * (v - m) / (values.size() - 1) / values.size();
    }
    return 2 * std::sqrt(meter * meter + resolution * resolution + shunt * shunt + scatter);
}

TEST(Certificate, AdjustingRunFilesACertificateThatPrintsTheStoredMeasurements)
{
    QTemporaryDir dir;
    int status = -1;
    const QString out = RunProgram({"--simulate", "40", "--run-mode", "2", "--batch", "--yes", "--as-found",
                                    "--certificate", "--spots", "5", "--dir", dir.path()},
                                   &status);
    ASSERT_EQ(status, 0) << out.toStdString();
    const auto filed = QRegularExpression("Report: (\\S+)\\.pdf\nCertificate: (\\1_cert\\.pdf)\n").match(out);
    ASSERT_TRUE(filed.hasMatch()) << out.toStdString();
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", filed.captured(2), "-"});
    if (!pdftotext.waitForFinished(10000) || pdftotext.exitCode() != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());

    QStringList rows =
        RunProgram({"--records", "SIM400001", "--measurements", "--format", "csv", "--dir", dir.path()}, &status)
            .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(rows.size(), 1 + 2 * 2 * 5 * 2) << rows.join(u'\n').toStdString();
    const QStringList head = rows.takeFirst().split(u',');
    const QString number = rows[0].split(u',').value(head.indexOf("CertNo"));
    for (const QString& words :
         {"Certificate No. " + number, QStringLiteral("Voltage (V), as found"), QStringLiteral("Voltage (V), as left"),
          QStringLiteral("Current (A), as found"), QStringLiteral("Current (A), as left"),
          QStringLiteral("Simple acceptance"), QStringLiteral("k = 2")})
        EXPECT_TRUE(text.contains(words)) << words.toStdString() << " not in\n" << text.toStdString();

    const std::map<QString, QStringList> printed = PrintedLines(text);
    QStringList spot; // setting, display, reference
    for (const QString& r : rows) {
        const QStringList row = r.split(u',');
        const auto cell = [&](const char* name) { return row.value(head.indexOf(name)); };
        const auto value = [&](const char* name) { return cell(name).toDouble(); };
        EXPECT_EQ(cell("CertNo"), number);
        const QString key = QStringList{cell("Quantity"), cell("State"), cell("Spot"), cell("Check")}.join(u' ');
        const auto line = printed.find(key);
        ASSERT_NE(line, printed.end()) << key.toStdString() << " not printed in\n" << text.toStdString();
        QStringList cells = line->second; // check, error, lower, upper, U, TUR, result
        if (cell("Check") == u"display") {
            spot = cells.mid(0, 3);
            cells = cells.mid(3);
        }
        ASSERT_EQ(cells.size(), 7) << key.toStdString();
        // The display check reads no meter and decides nothing: its U is the display step's
        // alone, and it says where the display lies.
        const bool current = cell("Quantity") == u"I";
        if (cell("Check") == u"display") {
            EXPECT_NEAR(value("U"), 2 * (current ? 0.001 : 0.01) / std::sqrt(12.0), 1e-12) << key.toStdString();
            EXPECT_TRUE(QStringList({"ok", "high", "low"}).contains(cells[6])) << key.toStdString();
        } else {
            const double mean = std::round(value("Mean") * (current ? 1000 : 100)) / (current ? 1000 : 100);
            EXPECT_NEAR(value("U") / OutputU(current, value("RangeV"), mean, cell("Readings")), 1, 5e-4)
                << key.toStdString();
            EXPECT_TRUE(cells[6] == u"Pass" || cells[6] == u"Fail") << key.toStdString();
        }
        const double tur = (value("Upper") - value("Lower")) / (2 * value("U"));
        EXPECT_TRUE(Same(spot[0], value("Setting")) && Same(spot[1], value("Display")) &&
                    Same(spot[2], value("Mean")) && Same(cells[2], value("Lower")) && Same(cells[3], value("Upper")) &&
                    Same(cells[4], value("U")) && Same(cells[5], tur) && cells[6] == cell("Result"))
            << key.toStdString() << ": " << (spot + cells).join(u' ').toStdString() << " printed for "
            << r.toStdString();
    }
}

} // namespace
