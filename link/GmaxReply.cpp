#include "link/GmaxReply.h"

namespace psucal {

std::optional<GmaxReply> GmaxReply::Parse(const QString& reply)
{
    if (reply.size() != 9 || reply.mid(7, 2) != QLatin1String("OK"))
        return std::nullopt;
    for (int i = 0; i < 6; ++i)
        if (reply[i] < u'0' || reply[i] > u'9')
            return std::nullopt;
    return GmaxReply{reply.left(3).toInt(), reply.mid(3, 3).toInt()};
}

} // namespace psucal
