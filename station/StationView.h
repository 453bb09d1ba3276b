#pragma once

#include "station/Station.h"

#include <QWidget>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace psucal {

class UnitTile;

// The station's window: a tile per unit, ports chosen or added at the top, START ALL. Closing it
// while units run ends each of them ("ENDS") first.
class StationView : public QWidget {
    Q_OBJECT
public:
    StationView(Station& station, const QStringList& ports, QWidget* parent = nullptr);

    UnitTile* tile(int index) const { return tiles_.value(index); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void addTile(UnitRun* unit);
    void addPort();
    void removeUnit(UnitRun* unit);
    void layOut();
    void refresh(UnitRun* unit);

    Station& station_;
    QComboBox* port_;
    QPushButton* add_;
    QPushButton* startAll_;
    QGridLayout* grid_;
    QLabel* summary_;
    QList<UnitTile*> tiles_;
    bool closing_ = false;
};

} // namespace psucal
