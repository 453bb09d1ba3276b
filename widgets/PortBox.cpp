#include "widgets/PortBox.h"

#include "wizard/PortList.h"

#include <QComboBox>

namespace psucal {

void SelectPort(QComboBox* box, const QStringList& ports, const QString& port)
{
    box->clear();
    box->addItems(ports);
    // "ttyUSB0" on the command line is the listed "/dev/ttyUSB0", not a second entry.
    const int at = PortList::indexOf(ports, port);
    if (at < 0 && !port.isEmpty())
        box->addItem(port);
    box->setCurrentIndex(at < 0 ? box->count() - 1 : at);
}

} // namespace psucal
