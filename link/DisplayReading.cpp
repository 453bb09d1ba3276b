#include "link/DisplayReading.h"

namespace psucal {

std::optional<DisplayReading> DisplayReading::Parse(const QString& reply)
{
    if (reply.size() != 12 || reply.mid(10, 2) != QLatin1String("OK"))
        return std::nullopt;
    for (int i = 0; i < 8; ++i)
        if (reply[i] < u'0' || reply[i] > u'9')
            return std::nullopt;
    return DisplayReading{reply.left(4).toInt() / 100.0, reply.mid(4, 4).toInt() / 1000.0};
}

} // namespace psucal
