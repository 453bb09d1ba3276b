#include "station/StationView.h"

#include "station/UnitTile.h"
#include "terminal/CommandLine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace psucal {

namespace {
constexpr int Columns = 2;
}

StationView::StationView(Station& station, const QStringList& ports, QWidget* parent)
    : QWidget(parent), station_(station), port_(new QComboBox), add_(new QPushButton(QStringLiteral("Add unit"))),
      startAll_(new QPushButton(QStringLiteral("START ALL  >"))), grid_(new QGridLayout), summary_(new QLabel)
{
    setWindowTitle(QStringLiteral("psucal station"));
    port_->setEditable(true);
    port_->addItems(ports);
    port_->setMinimumContentsLength(24);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Port:")));
    top->addWidget(port_, 1);
    top->addWidget(add_);
    top->addSpacing(24);
    top->addWidget(startAll_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid_);
    layout->addStretch();
    layout->addWidget(summary_);
    connect(add_, &QPushButton::clicked, this, &StationView::addPort);
    connect(startAll_, &QPushButton::clicked, this, [this] { station_.startAll(); });
    connect(&station_, &Station::changed, this, [this](UnitRun* unit) { refresh(unit); });
    connect(&station_, &Station::allEnded, this, [this] {
        if (closing_)
            QApplication::exit(station_.exitStatus());
    });
    for (UnitRun* unit : station_.units())
        addTile(unit);
    refresh(nullptr);
}

void StationView::addTile(UnitRun* unit)
{
    auto* tile = new UnitTile(*unit);
    connect(tile, &UnitTile::startClicked, this, [this](UnitRun* u) { station_.start(u); });
    connect(tile, &UnitTile::removeClicked, this, &StationView::removeUnit);
    tiles_ << tile;
    layOut();
}

void StationView::addPort()
{
    if (UnitRun* unit = station_.add(port_->currentText().trimmed())) {
        addTile(unit);
        refresh(unit);
    }
}

void StationView::removeUnit(UnitRun* unit)
{
    for (qsizetype k = 0; k < tiles_.size(); ++k)
        if (&tiles_[k]->unit() == unit && station_.remove(unit)) {
            delete tiles_.takeAt(k);
            layOut();
            refresh(nullptr);
            return;
        }
}

void StationView::layOut()
{
    for (qsizetype k = 0; k < tiles_.size(); ++k)
        grid_->addWidget(tiles_[k], static_cast<int>(k / Columns), static_cast<int>(k % Columns));
}

void StationView::refresh(UnitRun* unit)
{
    for (UnitTile* tile : tiles_)
        if (!unit || &tile->unit() == unit)
            tile->refresh();
    int done = 0, ended = 0;
    for (const UnitRun* u : station_.units()) {
        done += u->view().recalibrated() ? 1 : 0;
        ended += u->view().phase == UnitRun::Phase::Ended ? 1 : 0;
    }
    const qsizetype count = station_.units().size();
    add_->setEnabled(count < Options::MaxStationUnits);
    startAll_->setEnabled(count > 0 && !closing_);
    summary_->setText(count == 0 ? QStringLiteral("Choose a port and add a unit (up to %1).").arg(Options::MaxStationUnits)
                                 : QStringLiteral("%1 unit(s): %2 ended, %3 recalibrated.").arg(count).arg(ended).arg(done));
}

void StationView::closeEvent(QCloseEvent* event)
{
    if (!station_.running()) {
        event->accept();
        QApplication::exit(station_.exitStatus());
        return;
    }
    // Each unit sends "ENDS" and ends; the window goes once the last has.
    event->ignore();
    closing_ = true;
    summary_->setText(QStringLiteral("Ending every unit ..."));
    station_.interrupt();
}

} // namespace psucal
