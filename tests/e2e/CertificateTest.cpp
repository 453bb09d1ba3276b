#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

// The whole certificate run of the real program against the simulated bench, in real time.
namespace {

QString RunProgram(const QString& program, const QStringList& args, const QString& dir, int* status)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    p.closeWriteChannel();
    p.waitForFinished(540000);
    *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The lines of the results tables as pdftotext lays them out, by "V found 3 display": the cells
// from the check on (error, limits, U, TUR, result) and, for a spot's first line, setting,
// display and reference before them.
std::map<QString, QStringList> PrintedLines(const QString& text)
{
    static const QRegularExpression title("(Voltage|Current) \\([VA]\\), as (found|left)");
    std::map<QString, QStringList> lines;
    QString table;
    QString spot;
    for (const QString& line : text.split(u'\n')) {
        if (const auto m = title.match(line); m.hasMatch()) {
            table = (m.captured(1) == u"Voltage" ? "V " : "I ") + m.captured(2);
            continue;
        }
        const QStringList cells = line.simplified().split(u' ', Qt::SkipEmptyParts);
        const qsizetype check = std::max(cells.indexOf("display"), cells.indexOf("output"));
        if (table.isEmpty() || check < 0)
            continue;
        if (check == 4)
            spot = cells[0];
        lines[table + u' ' + spot + u' ' + cells[check]] = check == 4 ? cells.mid(1) : cells.mid(check);
    }
    return lines;
}

// A printed number is the stored one rounded to the printed places.
bool Same(const QString& printed, const QString& stored)
{
    const qsizetype point = printed.indexOf(u'.');
    const int places = point < 0 ? 0 : static_cast<int>(printed.size() - point - 1);
    return std::fabs(printed.toDouble() - stored.toDouble()) <= 0.5 * std::pow(10.0, -places) + 1e-12;
}

TEST(Certificate, AdjustingRunFilesACertificateThatPrintsTheStoredMeasurements)
{
    QTemporaryDir dir;
    int status = -1;
    const QString out = RunProgram(PSUCAL_PATH,
                                   {"--simulate", "40", "--run-mode", "2", "--batch", "--yes", "--as-found",
                                    "--certificate", "--spots", "5", "--dir", dir.path()},
                                   dir.path(), &status);
    ASSERT_EQ(status, 0) << out.toStdString();
    const auto filed = QRegularExpression("Report: (\\S+)\\.pdf\nCertificate: (\\S+)\n").match(out);
    ASSERT_TRUE(filed.hasMatch()) << out.toStdString();
    EXPECT_EQ(filed.captured(2), filed.captured(1) + "_cert.pdf");

    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", filed.captured(2), "-"});
    if (!pdftotext.waitForFinished(10000) || pdftotext.exitCode() != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());

    const QString csv =
        RunProgram(PSUCAL_PATH, {"--records", "SIM400001", "--measurements", "--format", "csv", "--dir", dir.path()},
                   dir.path(), &status);
    ASSERT_EQ(status, 0) << csv.toStdString();
    QStringList rows = csv.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + 2 * 2 * 5 * 2) << csv.toStdString();
    const QStringList head = rows.takeFirst().split(u',');
    const auto cell = [&head](const QStringList& row, const char* name) { return row.value(head.indexOf(name)); };

    const QString number = cell(rows[0].split(u','), "CertNo");
    ASSERT_FALSE(number.isEmpty());
    for (const QString& words :
         {"Certificate No. " + number, QStringLiteral("Voltage (V), as found"), QStringLiteral("Voltage (V), as left"),
          QStringLiteral("Current (A), as found"), QStringLiteral("Current (A), as left"),
          QStringLiteral("Simple acceptance"), QStringLiteral("k = 2"), QStringLiteral("Page 2 of 2")})
        EXPECT_TRUE(text.contains(words)) << words.toStdString() << " not in\n" << text.toStdString();

    const std::map<QString, QStringList> printed = PrintedLines(text);
    QStringList firstLine;
    for (const QString& r : rows) {
        const QStringList row = r.split(u',');
        EXPECT_EQ(cell(row, "CertNo"), number);
        const QString key =
            cell(row, "Quantity") + u' ' + cell(row, "State") + u' ' + cell(row, "Spot") + u' ' + cell(row, "Check");
        const auto line = printed.find(key);
        ASSERT_NE(line, printed.end()) << key.toStdString() << " not printed in\n" << text.toStdString();
        QStringList cells = line->second;
        if (cell(row, "Check") == u"display") {
            firstLine = cells;
            cells = cells.mid(3);
        }
        ASSERT_EQ(cells.size(), 7) << key.toStdString();
        ASSERT_EQ(firstLine.size(), 10) << key.toStdString();
        // The spot's values on its first line, this check's on its own.
        EXPECT_TRUE(Same(firstLine[0], cell(row, "Setting"))) << key.toStdString();
        EXPECT_TRUE(Same(firstLine[1], cell(row, "Display"))) << key.toStdString();
        EXPECT_TRUE(Same(firstLine[2], cell(row, "Mean"))) << key.toStdString();
        EXPECT_TRUE(Same(cells[2], cell(row, "Lower"))) << key.toStdString();
        EXPECT_TRUE(Same(cells[3], cell(row, "Upper"))) << key.toStdString();
        EXPECT_TRUE(Same(cells[4], cell(row, "U"))) << key.toStdString();
        const double tur =
            (cell(row, "Upper").toDouble() - cell(row, "Lower").toDouble()) / (2 * cell(row, "U").toDouble());
        EXPECT_TRUE(Same(cells[5], QString::number(tur, 'f', 12))) << key.toStdString();
        EXPECT_EQ(cells[6], cell(row, "Result")) << key.toStdString();
    }
}

} // namespace
