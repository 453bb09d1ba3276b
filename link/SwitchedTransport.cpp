#include "link/SwitchedTransport.h"

#include "link/TcpTransport.h"
#include "link/UsbtmcTransport.h"

#include <typeinfo>

namespace psucal {

SwitchedTransport::SwitchedTransport(SerialTransport::Settings serial)
    : serial_(serial), port_(std::make_unique<SerialTransport>(serial))
{
    port_->setActivityCallback([this] { notifyActivity(); });
}

SwitchedTransport::~SwitchedTransport() = default;

std::unique_ptr<Transport> SwitchedTransport::Make(const QString& name, SerialTransport::Settings serial)
{
    if (name.trimmed().startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive))
        return std::make_unique<TcpTransport>();
    if (UsbtmcTransport::IsDevice(name))
        return std::make_unique<UsbtmcTransport>();
    return std::make_unique<SerialTransport>(serial);
}

void SwitchedTransport::setPortName(const QString& name)
{
    std::unique_ptr<Transport> next = Make(name, serial_);
    const Transport& now = *port_;
    if (typeid(*next) != typeid(now)) {
        port_->close();
        port_ = std::move(next);
        port_->setActivityCallback([this] { notifyActivity(); });
    }
    port_->setPortName(name);
}

} // namespace psucal
