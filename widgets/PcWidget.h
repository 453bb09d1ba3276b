#pragma once

#include "core/BenchUi.h"

#include <QWidget>

namespace psucal {

// Paints the wizard's message area: positioned text runs in twips.
class PcWidget : public QWidget {
public:
    explicit PcWidget(QWidget* parent) : QWidget(parent) {}
    void setRuns(const QVector<TextRun>& runs);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<TextRun> runs_;
};

} // namespace psucal
