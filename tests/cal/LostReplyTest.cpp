#include "tests/cal/SimBench.h"

#include <memory>

namespace psucal::test {
namespace {

// One point of each branch where the defective unit is out of reach, so that every attempt
// runs: six display reads and five row reads to put a fault on.
struct Branch {
    QString point;
    int row;
    int cell;
    sim::Terminals terminals;
    QString failText;
};

const Branch Branches[] = {
    {"V20.8", 84, 1, sim::Terminals::Open, "Cal.V failed !"},
    {"C2.56", 126, 1, sim::Terminals::Short, "Cal.C failed !"},
};

std::unique_ptr<Bench> AdjustWith(const Branch& br, const QString& rule)
{
    sim::SupplyConfig config = Unit(40, 1);
    config.defect = true;
    config.terminals = br.terminals;
    auto b = std::make_unique<Bench>(config);
    b->st.BackupWritten = true; // keeps the whole-image read out of the point's frames
    b->st.Retries = 0;          // what one lost reply does when nothing is asked again
    if (!rule.isEmpty()) {
        EXPECT_TRUE(b->model.faults().add(rule)) << rule.toStdString();
    }
    b->st.CurRow = br.row;
    b->st.CurCell = br.cell;
    b->cal.AdjustPoint(br.point);
    return b;
}

// Cells that a row write changed other than the one being adjusted, as "row/cell".
QStringList ForeignCellsWritten(const Bench& b, const Branch& br)
{
    QStringList out;
    std::map<int, QString> rows;
    for (const QString& f : b.model.frames()) {
        if (!f.startsWith(QLatin1String("SEEP00")))
            continue;
        const int row = f.mid(6, 3).toInt();
        const QString cells = f.mid(9);
        const QString before = rows.count(row) ? rows[row] : b.found[row];
        for (int cell = 1; cell <= 4; ++cell)
            if (cells.mid(2 * cell - 2, 2) != before.mid(2 * cell - 2, 2) && (row != br.row || cell != br.cell))
                out << QStringLiteral("%1/%2").arg(row).arg(cell);
        rows[row] = cells;
    }
    return out;
}

qsizetype IndexOfNth(const QStringList& frames, const QString& word, int n)
{
    for (qsizetype i = 0; i < frames.size(); ++i)
        if (frames[i].startsWith(word) && --n == 0)
            return i;
    return -1;
}

TEST(LostReply, EveryRowWriteChangesOnlyTheCellBeingAdjusted)
{
    for (const Branch& br : Branches) {
        const auto clean = AdjustWith(br, QString());
        ASSERT_EQ(clean->model.frames().filter(QStringLiteral("SEEP")).size(), 5) << br.point.toStdString();
        const QString rowRead = QStringLiteral("GEEP00") + num::Digits(br.row, 3);
        for (const auto& [word, length] : {std::pair{QStringLiteral("GETD00"), 12}, std::pair{rowRead, 8}}) {
            const int positions = static_cast<int>(clean->model.frames().filter(word).size());
            QStringList kinds = {"late=0.2", QStringLiteral("truncate=%1").arg(length - 1), "garbage", "dropchar",
                                 "nondigits"};
            if (length == 8) // line noise that keeps the reply a valid row, at every character
                for (int pos = 1; pos <= 8; ++pos)
                    kinds << QStringLiteral("flipnibble=%1").arg(pos);
            for (const QString& kind : kinds) {
                for (int nth = 1; nth <= positions; ++nth) {
                    const QString rule = QStringLiteral("%1:%2:nth=%3").arg(word.left(4) + word.mid(6), kind).arg(nth);
                    const auto b = AdjustWith(br, rule);
                    const std::string what = br.point.toStdString() + " " + rule.toStdString();
                    EXPECT_EQ(ForeignCellsWritten(*b, br), QStringList()) << what;
                    if (length == 8) // a row read is tried again
                        continue;
                    // A lost display reading fails the step and nothing more is written.
                    const QStringList frames = b->model.frames();
                    const qsizetype lost = IndexOfNth(frames, word, nth);
                    EXPECT_TRUE(frames.mid(lost).filter(QStringLiteral("SEEP")).isEmpty()) << what;
                    EXPECT_EQ(b->st.FailText, br.failText) << what;
                }
            }
        }
    }
}

TEST(LostReply, ARowThatNeverReadsAsWrittenFailsThePointWithoutAWrite)
{
    for (const Branch& br : Branches) {
        for (int pos = 1; pos <= 8; ++pos) {
            const QString rule = QStringLiteral("GEEP%1:flipnibble=%2").arg(num::Digits(br.row, 3)).arg(pos);
            const auto b = AdjustWith(br, rule);
            const std::string what = br.point.toStdString() + " " + rule.toStdString();
            EXPECT_TRUE(b->model.frames().filter(QStringLiteral("SEEP")).isEmpty()) << what;
            EXPECT_EQ(b->model.frames().filter(QStringLiteral("GEEP00")).size(), 4) << what;
            EXPECT_EQ(b->st.FailText, br.failText) << what;
            EXPECT_TRUE(b->st.AbortFlag) << what;
            EXPECT_TRUE(b->host.messages.join(' ').contains(QStringLiteral("row %1 reads").arg(num::Digits(br.row, 3))))
                << what << " " << b->host.messages.join('|').toStdString();
        }
    }
}

} // namespace
} // namespace psucal::test
