#include "cal/Define.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SupplyBench.h"

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

// A blank board of the given rating, the model chosen in CmbModel, the serial number typed.
struct DefineBench : SupplyBench {
    explicit DefineBench(int ratingV, const QString& serial = "SN123456")
        : SupplyBench(sim::SupplyConfig{.ratingV = ratingV, .blank = true})
    {
        ui.setModel(RatingIndex(FindRating(ratingV)));
        st.SerialNoEdit = serial;
        define.setIdentify([this](int selector) {
            identified << selector;
            progressAtIdentify = ui.progressValue();
        });
    }
    QStringList seep() const { return framesSince(0, "SEEP"); }

    Define define{st, ui, link};
    QList<int> identified;
    int progressAtIdentify = -1;
};

} // namespace

TEST(Define, WritesTheSerialNumberAndEachModelsBaseDataFrameByFrame)
{
    const QStringList serial = {"SEEP00156534>3132", "SEEP0015733343536", "SEEP0015800000000", "SEEP0015900000000"};
    const QStringList base[3] = {
        {"SEEP0000000000008", "SEEP000013214?:04", "SEEP000020:0:0000", "SEEP0000300<903>7", "SEEP0000400000000",
         "SEEP0000550500103", "SEEP0000700<90000"},
        {"SEEP0000000000008", "SEEP00001640:7=08", "SEEP000020:0:0000", "SEEP00003019201?9", "SEEP0000400000000",
         "SEEP0000550500102", "SEEP0000701920000"},
        {"SEEP0000000000008", "SEEP00001<8057=08", "SEEP000020:0:0000", "SEEP0000302580154", "SEEP0000400000000",
         "SEEP00005????0202", "SEEP0000702580000"},
    };
    for (int m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        DefineBench b(20 * (m + 1));
        EXPECT_TRUE(b.define.Run()) << b.host.messages.join('|').toStdString();
        EXPECT_EQ(b.seep(), serial + base[m]);
        for (const QString& f : base[m])
            EXPECT_EQ(b.model.row(f.mid(6, 3).toInt()), f.mid(9));
        EXPECT_EQ(b.model.row(6), "00000000");
        EXPECT_TRUE(b.host.messages.isEmpty());
        EXPECT_EQ(b.identified, QList<int>({2}));
        EXPECT_EQ(b.progressAtIdentify, 7); // of 8
        EXPECT_EQ(b.ui.status(2), " Voltage (Output terminals must be open)");
    }
}

TEST(Define, TheSerialKeepsInnerBlanksAndRefusesWhatCannotReadBack)
{
    DefineBench b(40, "  AB CDE \t");
    EXPECT_TRUE(b.define.Run());
    EXPECT_EQ(b.seep().mid(0, 2), QStringList({"SEEP0015641422043", "SEEP0015744450000"}));

    const QString refused[] = {"   ", "12345678901234567", QString("SN") + QChar(0xE9), "SN\x01"};
    for (const QString& serial : refused) {
        DefineBench r(40, serial);
        EXPECT_FALSE(r.define.Run());
        EXPECT_TRUE(r.model.frames().isEmpty());
        EXPECT_EQ(r.st.FailText, "Define failed !");
        ASSERT_EQ(r.host.messages.size(), 1);
        EXPECT_TRUE(r.host.messages[0].startsWith("Define failed !\nS/N = ?")) << r.host.messages[0].toStdString();
    }
}

TEST(Define, AnUnconfirmedRowStopsDefineWithOneMessage)
{
    struct Case {
        const char* fault;
        int frames;          // SEEP frames sent in all
        const char* message; // under "Define failed !"
    };
    const Case cases[] = {
        // Lost on the way in: each read-back shows the row as it was.
        {"SEEP157:lost", 1 + 2, "No: 157 Row SEEP error ."},
        {"SEEP003:lost", 4 + 3 + 11, "No: 3 Row SEEP error ."},
        {"SEEP005:lost", 4 + 5 + 11, "No: 5 Row SEEP error ."},
        {"GEEP:silence", 4, "The serial number read back is \"\", not \"SN123456\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        DefineBench b(60);
        ASSERT_TRUE(b.model.faults().add(c.fault));
        EXPECT_FALSE(b.define.Run());
        EXPECT_EQ(b.seep().size(), c.frames);
        EXPECT_EQ(b.st.FailText, "Define failed !");
        EXPECT_EQ(b.host.messages, QStringList({QString("Define failed !\n") + c.message}));
        EXPECT_TRUE(b.identified.isEmpty());
    }
}

TEST(Define, NothingIsWrittenWithoutTheBackup)
{
    DefineBench b(20);
    b.define.setBackupGuard([] { return false; });
    EXPECT_FALSE(b.define.Run());
    EXPECT_TRUE(b.seep().isEmpty());
    EXPECT_EQ(b.host.messages.size(), 1);
}

} // namespace psucal::test
