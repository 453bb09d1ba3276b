#pragma once

#include "station/UnitRun.h"

#include <QGroupBox>

class QLabel;
class QProgressBar;
class QPushButton;

namespace psucal {

// One unit of the station view: port, serial, rating, step, progress and outcome in colour, its
// page text on demand, START, and the prompt to short its terminals with the button that goes on.
class UnitTile : public QGroupBox {
    Q_OBJECT
public:
    explicit UnitTile(UnitRun& unit, QWidget* parent = nullptr);
    void refresh();
    UnitRun& unit() { return unit_; }

signals:
    void startClicked(psucal::UnitRun* unit);
    void removeClicked(psucal::UnitRun* unit);

private:
    UnitRun& unit_;
    QLabel* facts_;
    QLabel* step_;
    QProgressBar* bar_;
    QLabel* outcome_;
    QLabel* prompt_;
    QPushButton* go_;
    QPushButton* start_;
    QPushButton* remove_;
    QPushButton* pageButton_;
    QLabel* page_;
};

} // namespace psucal
