#include "link/ReplyShape.h"

#include "link/DisplayReading.h"
#include "link/EepromImage.h"
#include "link/Nibble.h"

#include <algorithm>

namespace psucal::reply {

namespace {
bool Digits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
bool Letters(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; });
}
} // namespace

bool SetPointTaken(const QString& reply)
{
    return reply == QLatin1String("OK");
}

bool Acknowledged3(const QString& reply)
{
    return reply.size() == 3;
}

bool Rating(const QString& reply)
{
    return reply.size() == 9 && Digits(QStringView(reply).first(6)) && Letters(QStringView(reply).sliced(7, 2));
}

bool Display(const QString& reply)
{
    return DisplayReading::Parse(reply).has_value();
}

bool Row(const QString& reply)
{
    return nibble::IsNibbles(reply, image::RowLength);
}

bool Image(const QString& reply)
{
    return reply.size() == image::Length && image::Complete(reply) &&
           QStringView(reply).sliced(image::Minimum, 2) == u"OK";
}

} // namespace psucal::reply
