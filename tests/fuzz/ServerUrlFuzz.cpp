#include "db/ServerAddress.h"
#include "tests/fuzz/Fuzz.h"

using namespace psucal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString url = QString::fromUtf8(fuzz::Bytes(data, size));
    QString error;
    const ServerAddress a = ServerAddress::Parse(url, &error);
    if (a.isEmpty()) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(error.isEmpty());
    FUZZ_CHECK(a.port() == -1 || (a.port() > 0 && a.port() <= 65535));
    // Options reach the driver as one ';'-separated string: none may smuggle in another keyword.
    for (const QString& option : a.options()) {
        FUZZ_CHECK(!option.contains(u';') && !option.contains(u' ') && !option.contains(u'\''));
        FUZZ_CHECK(!option.startsWith(QLatin1String("password=")));
    }
    // What messages show names no password (where it stood in the text).
    const qsizetype at = url.lastIndexOf(u'@');
    const qsizetype colon = url.indexOf(u':', url.indexOf(QLatin1String("://")) + 3);
    if (at > 0 && colon > 0 && colon < at && at - colon > 4) {
        const QString secret = url.mid(colon + 1, at - colon - 1);
        if (!a.user().contains(secret) && !a.host().contains(secret) && !a.databaseName().contains(secret) &&
            !secret.contains(u'%') && !secret.contains(u'/') && !secret.contains(u'?'))
            FUZZ_CHECK(!a.display().contains(u':' + secret + u'@'));
    }
    return 0;
}
