#include "widgets/EditorPanel.h"

#include "core/BenchUi.h"
#include "eeprom/EepromEditor.h"
#include "eeprom/Tb1Model.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace psucal {

EditorPanel::EditorPanel(EepromEditor& editor, QSqlDatabase db, QString backupDir, QWidget* parent)
    : QWidget(parent), editor_(editor), model_(new Tb1Model(std::move(db), this)), backupDir_(std::move(backupDir))
{
    setObjectName(QStringLiteral("PEEP"));
    ask_ = [this](const QString& question) {
        return QMessageBox::question(this, window()->windowTitle(), question) == QMessageBox::Yes;
    };
    choose_ = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Load backup"), backupDir_,
                                            QStringLiteral("EEPROM backups (*.txt);;All files (*)"));
    };
    build();
    connectEditor();
    model_->select();
    showCurrent();
    showBoxes();
}

void EditorPanel::build()
{
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("Grid1"));
    grid_->setModel(model_);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setAlternatingRowColors(true);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid_->setMinimumWidth(5 * fontMetrics().horizontalAdvance(QStringLiteral("Cell 0  ")) + 20);
    grid_->viewport()->installEventFilter(this);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    read_ = button("CmdRead", QStringLiteral("Read"));
    write_ = button("CmdWrite", QStringLiteral("Write"));
    clear_ = button("CmdClear", QStringLiteral("Clear"));
    load_ = button("CmdLoadBackup", QStringLiteral("Load backup…"));
    read_->setToolTip(QStringLiteral("Read the supply's whole EEPROM into the table"));
    write_->setToolTip(QStringLiteral("Write rows 0-7 and 58-159 of the table to the supply, then read it back"));
    clear_->setToolTip(QStringLiteral("Set the calibration cells of rows 58-149 from the selected row on to 00, "
                                      "then write"));
    load_->setToolTip(QStringLiteral("Fill the table from an as-found backup, to check it before Write"));

    frame5_ = new QGroupBox(QStringLiteral("Single Row"), this);
    frame5_->setObjectName(QStringLiteral("Frame5"));
    auto* single = new QGridLayout(frame5_);
    const int cellWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000"));
    for (int i = 0; i < 5; ++i) {
        auto* box = new QLineEdit(frame5_);
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(i == 0 ? 3 : 2);
        box->setFixedWidth(cellWidth + (i == 0 ? cellWidth / 2 : 0));
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this, [this, i](const QString& t) { editor_.setText1(i, t); });
        text1_[i] = box;
    }
    writeRow_ = new QPushButton(QStringLiteral("Write a Row"), frame5_);
    writeRow_->setObjectName(QStringLiteral("CmdWrite_a_R"));
    single->addWidget(new QLabel(QStringLiteral("Row"), frame5_), 0, 0);
    single->addWidget(text1_[0], 0, 1, 1, 2, Qt::AlignLeft);
    single->addWidget(new QLabel(QStringLiteral("Cells"), frame5_), 1, 0, 1, 4);
    for (int k = 1; k <= 4; ++k)
        single->addWidget(text1_[k], 2, k - 1);
    single->addWidget(writeRow_, 3, 0, 1, 4);

    auto* note = new QLabel(QStringLiteral("Grey rows (8-57) are never written."), this);
    note->setWordWrap(true);

    auto* column = new QVBoxLayout;
    column->addWidget(read_);
    column->addWidget(write_);
    column->addWidget(clear_);
    column->addSpacing(8);
    column->addWidget(load_);
    column->addSpacing(8);
    column->addWidget(frame5_);
    column->addWidget(note);
    column->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grid_, 1);
    layout->addLayout(column);
}

void EditorPanel::connectEditor()
{
    // The editor talks to the supply: a close during its waits ends the program here.
    const auto guarded = [this](std::function<void()> f) {
        return [this, f = std::move(f)] { editor_.ui().guard(f); };
    };
    connect(read_, &QPushButton::clicked, this, guarded([this] { editor_.CmdRead_Click(); }));
    connect(write_, &QPushButton::clicked, this, guarded([this] { editor_.CmdWrite_Click(); }));
    connect(clear_, &QPushButton::clicked, this, guarded([this] { editor_.CmdClear_Click(); }));
    connect(writeRow_, &QPushButton::clicked, this, guarded([this] { editor_.CmdWrite_a_R_Click(); }));
    connect(load_, &QPushButton::clicked, this, [this] {
        const QString path = choose_();
        if (!path.isEmpty())
            loadBackup(path);
    });

    connect(&editor_, &EepromEditor::tableChanged, this, [this] {
        model_->select();
        showCurrent();
    });
    connect(&editor_, &EepromEditor::currentChanged, this, &EditorPanel::showCurrent);
    connect(&editor_, &EepromEditor::boxesChanged, this, &EditorPanel::showBoxes);
    connect(&editor_, &EepromEditor::busyChanged, this, &EditorPanel::setBusy);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            editor_.setCurrentRecord(model_->data(model_->index(current.row(), 0)).toInt());
    });
}

void EditorPanel::loadBackup(const QString& path)
{
    if (editor_.LoadBackup(path) != EepromEditor::LoadResult::SerialDiffers)
        return;
    const QString question = QStringLiteral("%1 is the backup of another unit (serial number differs from \"%2\").\n"
                                            "Load it all the same?")
                                 .arg(QDir::toNativeSeparators(path), editor_.unitSerial());
    if (ask_(question))
        editor_.LoadBackup(path, true);
}

void EditorPanel::showBoxes()
{
    for (int i = 0; i < 5; ++i)
        if (text1_[i]->text() != editor_.text1(i))
            text1_[i]->setText(editor_.text1(i));
}

void EditorPanel::showCurrent()
{
    const int row = model_->rowOf(editor_.currentRecord());
    if (row < 0)
        return;
    const int column = std::max(grid_->currentIndex().column(), 0);
    if (grid_->currentIndex().row() != row)
        grid_->setCurrentIndex(model_->index(row, column));
    grid_->scrollTo(model_->index(row, column));
}

void EditorPanel::setBusy(bool busy)
{
    for (QWidget* w : std::initializer_list<QWidget*>{grid_, read_, write_, clear_, load_, frame5_})
        w->setEnabled(!busy);
}

void EditorPanel::sizeColumns()
{
    // The grid has no record selector, so the columns share the whole viewport.
    const int width = grid_->viewport()->width() / 5;
    for (int c = 0; c < 5; ++c)
        grid_->setColumnWidth(c, std::max(width, 0));
}

bool EditorPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_->viewport()) {
        if (event->type() == QEvent::Resize)
            sizeColumns();
        return false;
    }
    const auto at = std::find(text1_.begin(), text1_.end(), watched);
    if (at == text1_.end())
        return false;
    const int index = static_cast<int>(at - text1_.begin());
    switch (event->type()) {
    case QEvent::FocusIn:
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, text1_[index], &QLineEdit::selectAll);
        return false;
    case QEvent::FocusOut:
        editor_.Text1_LostFocus(index);
        return false;
    case QEvent::KeyRelease:
        return boxKey(index, static_cast<QKeyEvent*>(event)->key());
    default:
        return false;
    }
}

bool EditorPanel::boxKey(int index, int key)
{
    switch (key) {
    case Qt::Key_Down:
    case Qt::Key_Right:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (index == 0)
            editor_.Text1_LostFocus(0);
        if (index < 4)
            text1_[index + 1]->setFocus();
        else
            writeRow_->setFocus();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (index > 0)
            text1_[index - 1]->setFocus();
        return true;
    default:
        return false;
    }
}

} // namespace psucal
