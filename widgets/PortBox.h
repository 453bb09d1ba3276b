#pragma once

#include <QStringList>

class QComboBox;

namespace psucal {

// Fills a port selector with `ports` and selects `port`, appended when the list has no entry for it.
void SelectPort(QComboBox* box, const QStringList& ports, const QString& port);

} // namespace psucal
