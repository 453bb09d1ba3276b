#pragma once

#include <QRect>
#include <QWidget>

class QComboBox;
class QFrame;

namespace psucal {

class BenchUi;
class ChartPanelWidget;
class FullWindowActions;
class HeaderFrame;
class SpotGrid;
class SpotGridView;
class StepFrame;
class SupplyLink;
class UnitFrame;
struct BenchState;

// The full window of run modes 0-2 inside FrmMain: port selectors, the frames with the steps,
// the unit and the report header, both spot grids and both chart panels, arranged by
// WindowLayout. Everything it shows comes from BenchUi and BenchState.
class FullView : public QWidget {
    Q_OBJECT
public:
    FullView(BenchState& st, BenchUi& ui, SpotGrid& gridV, SpotGrid& gridC, QWidget* parent = nullptr);

    void setActions(FullWindowActions* actions);
    // The supply link a grid's double-click sends its set point on (none: nothing is sent).
    void setSupply(SupplyLink* supply) { supply_ = supply; }
    void setPorts(const QStringList& ports, const QString& supplyPort, const QString& meterPort);
    // The EEPROM editor PEEP, shown while "EEP" is ticked.
    void setEditorPanel(QWidget* panel);

    void follow();
    // The window's resize handling, from its outer size and its status bar's height in pixels.
    void arrange(const QSize& outer, int statusBar);
    void gridChanged(bool current, int row);
    void scrollGrid(bool current, int row);
    void redrawChart(bool current);

    StepFrame* stepFrame() const { return steps_; }
    HeaderFrame* headerFrame() const { return header_; }
    SpotGridView* grid(bool current) const { return current ? gridC_ : gridV_; }
    ChartPanelWidget* chart(bool current) const { return current ? chartC_ : chartV_; }
    QComboBox* portBox(bool meter) const { return meter ? eqPort_ : commPort_; }
    QWidget* focusSink() const { return picture1_; }

signals:
    // An operator's action ran: show BenchUi again.
    void acted();
    // PanelMode changed: lay the window out again.
    void layoutWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void switchPanels(bool current);
    void sendSetPoint(bool current, double value);

    BenchState& st_;
    BenchUi& ui_;
    FullWindowActions* actions_ = nullptr;
    SupplyLink* supply_ = nullptr;
    QComboBox* commPort_ = nullptr;
    QComboBox* eqPort_ = nullptr;
    QFrame* line_ = nullptr;
    StepFrame* steps_ = nullptr;
    UnitFrame* unit_ = nullptr;
    HeaderFrame* header_ = nullptr;
    SpotGridView* gridV_ = nullptr;
    SpotGridView* gridC_ = nullptr;
    ChartPanelWidget* chartV_ = nullptr;
    ChartPanelWidget* chartC_ = nullptr;
    QWidget* picture1_ = nullptr;
    QWidget* editor_ = nullptr;
    // Geometry in twips that the layout reads and moves.
    QRect gridVRect_;
    QRect gridCRect_;
    QRect editorRect_;
    bool framesVisible_ = true;
    bool sending_ = false;
};

} // namespace psucal
