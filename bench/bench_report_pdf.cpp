// Time to file one calibration report as PDF (20 and 80 spots).
#include "bench/SampleReport.h"
#include "bench/Support.h"
#include "report/ReportOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace psucal;
using namespace psucal::bench;

namespace {

struct Figures {
    double first = 0, median = 0, worst = 0;
    qint64 bytes = 0;
};

bool Measure(const QString& dir, int spots, int runs, Figures* f)
{
    const SampleReport sample(QStringLiteral("SIM40001"), spots);
    const QDateTime when(QDate(2026, 3, 14), QTime(10, 0, 0));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QString error;
        const double t0 = Now();
        const QString path = ReportOutput::WritePdf(dir, *sample.data, when, &error);
        times.push_back(Now() - t0);
        if (path.isEmpty()) {
            std::fprintf(stderr, "bench_report_pdf: %s\n", qPrintable(error));
            return false;
        }
        f->bytes = QFileInfo(path).size();
    }
    f->first = times.front();
    f->median = Percentile(times, 0.5);
    f->worst = *std::max_element(times.begin(), times.end());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    // --keep DIR leaves the PDFs there to be looked at.
    QTemporaryDir temp;
    const QString dir = Option(args, QStringLiteral("--keep"), temp.path());
    const int runs = Option(args, QStringLiteral("--runs"), QStringLiteral("10")).toInt();

    Figures twenty, eighty;
    if (!Measure(dir, 20, std::max(runs, 1), &twenty) || !Measure(dir, 80, std::max(runs, 1), &eighty))
        return 1;
    std::printf("report_pdf_first: %.3f s (20 spots, fonts loaded on the way)\n", twenty.first);
    std::printf("report_pdf: %.3f s median, %.3f s worst of %d (20 spots, %lld bytes; target <= 0.3 s)\n",
                twenty.median, twenty.worst, runs, static_cast<long long>(twenty.bytes));
    std::printf("report_pdf_80: %.3f s median, %.3f s worst of %d (80 spots, 2 pages, %lld bytes)\n", eighty.median,
                eighty.worst, runs, static_cast<long long>(eighty.bytes));
    if (dir != temp.path()) {
        // A failed unit too, to see the verdict and the bold cells.
        const SampleReport failed(QStringLiteral("SIM40002"), 20, 7);
        QString error;
        ReportOutput::WritePdf(dir, *failed.data, QDateTime::currentDateTime(), &error);
        std::printf("report_pdf_dir: %s\n", qPrintable(QDir(dir).filePath(QStringLiteral("reports"))));
    }
    return 0;
}
