#pragma once

#include "spots/SpotGridEditor.h"

#include <QTableView>

namespace psucal {

class SpotGrid;
class SpotGridModel;

// FGridV or FGridC on the window: shows the grid, lets the operator type, clear and judge an
// Output, and asks for a Setting to be sent on a double-click. Locked while a page runs.
class SpotGridView : public QTableView {
    Q_OBJECT
public:
    explicit SpotGridView(SpotGrid& grid, QWidget* parent = nullptr);

    // Sizes the columns so that the grid with its scroll bar is `width` pixels wide.
    void fitWidth(int width);
    void setLocked(bool locked) { locked_ = locked; }
    // The grid changed underneath (row -1: rebuilt).
    void gridChanged(int row);
    void scrollToGridRow(int row);

signals:
    // An operator's edit changed an Output.
    void outputEdited();
    void sendSetPoint(bool current, double value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void leave(const QModelIndex& index);
    void edited(int row);

    SpotGridModel* model_;
    SpotGridEditor editor_;
    bool locked_ = false;
};

} // namespace psucal
