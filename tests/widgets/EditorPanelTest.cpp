#include "widgets/EditorPanel.h"
#include "eeprom/Tb1Model.h"
#include "tests/support/EditorBench.h"
#include "tests/support/QtPrinters.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace psucal;
using psucal::test::EditorBench;

namespace {

struct PanelBench : EditorBench {
    QPushButton* button(const char* name) { return panel.findChild<QPushButton*>(name); }
    QTableView* grid() { return panel.grid(); }
    QString boxes()
    {
        QString t;
        for (int i = 0; i < 5; ++i)
            t += panel.box(i)->text();
        return t;
    }
    EditorPanel panel{editor, db.connection(), dir.path()};
};

} // namespace

TEST(EditorPanel, ReadFillsTheGridAndTheBoxesFollowTheRecord)
{
    PanelBench b;
    b.button("CmdRead")->click();
    ASSERT_EQ(b.grid()->model()->rowCount(), 160);
    EXPECT_EQ(b.grid()->model()->index(100, 3).data(), b.model.row(100).mid(4, 2));
    EXPECT_EQ(b.grid()->currentIndex().row(), 0);
    EXPECT_EQ(b.boxes(), "0" + b.model.row(0));

    b.grid()->setCurrentIndex(b.grid()->model()->index(70, 2));
    EXPECT_EQ(b.editor.currentRecord(), 70);
    EXPECT_EQ(b.boxes(), "70" + b.model.row(70));

    // The row number cannot be edited; a cell takes one or two nibble characters.
    auto* model = static_cast<Tb1Model*>(b.grid()->model());
    EXPECT_FALSE(model->flags(model->index(70, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->setData(model->index(70, 1), "5G") || model->setData(model->index(70, 1), "123"));
    EXPECT_TRUE(model->setData(model->index(70, 1), "5"));
    EXPECT_EQ((*b.editor.table().cells(70))[0], "5");
}

TEST(EditorPanel, TheRowBoxFindsItsRecordAndTheArrowsWalkTheBoxes)
{
    PanelBench b;
    b.button("CmdRead")->click();
    b.panel.show();
    b.panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&b.panel));
    b.panel.box(0)->setFocus();
    QTest::keyClicks(b.panel.box(0), "58");
    QTest::keyClick(b.panel.box(0), Qt::Key_Return);
    EXPECT_EQ(b.grid()->currentIndex().row(), 58);
    EXPECT_EQ(b.boxes(), "58" + b.model.row(58));
    EXPECT_EQ(QApplication::focusWidget(), b.panel.box(1));
    QTest::keyClick(b.panel.box(1), Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), b.panel.box(0));
    b.panel.box(4)->setFocus();
    QTest::keyClick(b.panel.box(4), Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), b.button("CmdWrite_a_R"));
}

TEST(EditorPanel, ControlsAreOffWhileTheEditorWorks)
{
    PanelBench b;
    b.button("CmdRead")->click();
    QList<bool> enabledInside;
    b.editor.setBackupGuard([&] {
        for (const char* name : {"CmdRead", "CmdWrite", "CmdClear", "CmdWrite_a_R", "CmdLoadBackup"})
            enabledInside << b.button(name)->isEnabled();
        enabledInside << b.grid()->isEnabled() << b.panel.box(2)->isEnabled();
        return false;
    });
    b.button("CmdWrite")->click();
    EXPECT_EQ(enabledInside, QList<bool>(7, false));
    EXPECT_TRUE(b.button("CmdWrite")->isEnabled());
    EXPECT_TRUE(b.panel.box(2)->isEnabled());
}
