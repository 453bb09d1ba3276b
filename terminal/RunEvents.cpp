#include "terminal/RunEvents.h"

#include "terminal/BatchHost.h"
#include "terminal/EventStream.h"
#include "terminal/Session.h"

namespace psucal::runevents {

void Started(BatchHost& host, const Session& session)
{
    if (EventStream* e = host.events())
        e->tell(QStringLiteral("start"), {{QStringLiteral("port"), session.supplyPortName()},
                                          {QStringLiteral("serial"), session.st.SerialNo},
                                          {QStringLiteral("rating"), session.st.RatingText},
                                          {QStringLiteral("runMode"), session.st.RunMode}});
}

void StepBegins(BatchHost& host, const QString& step)
{
    if (EventStream* e = host.events()) {
        e->setStep(step);
        e->tell(QStringLiteral("step"), {{QStringLiteral("step"), step}, {QStringLiteral("state"), QStringLiteral("start")}});
    }
}

void StepEnds(BatchHost& host, bool ok)
{
    if (EventStream* e = host.events())
        e->tell(QStringLiteral("step"), {{QStringLiteral("step"), e->step()},
                                         {QStringLiteral("state"), QStringLiteral("end")},
                                         {QStringLiteral("ok"), ok}});
}

void Prompted(BatchHost& host, const QString& text)
{
    if (EventStream* e = host.events())
        e->tell(QStringLiteral("prompt"), {{QStringLiteral("text"), text}});
}

void Ended(BatchHost& host, const Session& session, const QString& result, int status)
{
    if (EventStream* e = host.events(); e && !e->ended())
        e->tell(QStringLiteral("outcome"), {{QStringLiteral("result"), result},
                                            {QStringLiteral("status"), status},
                                            {QStringLiteral("repeats"), session.st.Repeats},
                                            {QStringLiteral("failText"), session.st.FailText}});
}

} // namespace psucal::runevents
