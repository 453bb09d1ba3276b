#pragma once

#include <QGroupBox>

#include <array>

class QLineEdit;

namespace psucal {

class BenchUi;
class FullWindowActions;

// Frame4 of the full window: the report header boxes TxtH(0..3), client model, equipment,
// ambient temperature (with the relative humidity beside it) and tester.
class HeaderFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit HeaderFrame(BenchUi& ui, QWidget* parent = nullptr);

    void setActions(FullWindowActions* actions) { actions_ = actions; }
    void follow();

    QLineEdit* box(int index) const { return boxes_.at(index); }
    QLineEdit* humidityBox() const { return humidity_; }

signals:
    void acted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* temperatureRow();

    BenchUi& ui_;
    FullWindowActions* actions_ = nullptr;
    std::array<QLineEdit*, 4> boxes_{};
    QLineEdit* humidity_ = nullptr;
};

} // namespace psucal
