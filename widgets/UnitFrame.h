#pragma once

#include <QGroupBox>

class QComboBox;
class QLineEdit;

namespace psucal {

class BenchUi;
class FullWindowActions;

// Frame3 of the full window: the unit's serial number TxtH(4) and its model CmbModel.
class UnitFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit UnitFrame(BenchUi& ui, QWidget* parent = nullptr);

    void setActions(FullWindowActions* actions) { actions_ = actions; }
    void follow();

    QLineEdit* serialBox() const { return serial_; }

signals:
    void acted();

private:
    BenchUi& ui_;
    FullWindowActions* actions_ = nullptr;
    QLineEdit* serial_;
    QComboBox* model_;
};

} // namespace psucal
