#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace psucal {

class EepromEditor;
class Tb1Model;

// The EEPROM editor panel PEEP: the grid Grid1 over TB1, the buttons "Read", "Write", "Clear"
// and "Load backup...", and the "Single Row" frame with Text1(0..4) and "Write a Row". All it
// does goes through the editor core; while the core works, every control is off.
class EditorPanel : public QWidget {
    Q_OBJECT
public:
    EditorPanel(EepromEditor& editor, QSqlDatabase db, QString backupDir, QWidget* parent = nullptr);

    // Fills TB1 from a backup file; a backup of another serial number is loaded only when
    // `ask` (the operator, by default) agrees.
    void loadBackup(const QString& path);
    void setAsk(std::function<bool(const QString&)> ask) { ask_ = std::move(ask); }
    void setChooseFile(std::function<QString()> choose) { choose_ = std::move(choose); }

    QTableView* grid() const { return grid_; }
    QLineEdit* box(int index) const { return text1_.at(index); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void connectEditor();
    void showBoxes();
    void showCurrent();
    void setBusy(bool busy);
    void sizeColumns();
    bool boxKey(int index, int key);

    EepromEditor& editor_;
    Tb1Model* model_;
    QString backupDir_;
    std::function<bool(const QString&)> ask_;
    std::function<QString()> choose_;
    QTableView* grid_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* write_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* load_ = nullptr;
    QGroupBox* frame5_ = nullptr;
    std::array<QLineEdit*, 5> text1_{};
    QPushButton* writeRow_ = nullptr;
};

} // namespace psucal
