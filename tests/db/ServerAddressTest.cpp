#include "db/ServerAddress.h"
#include "db/ServerStore.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace psucal;

TEST(ServerAddress, TakesWhatLibpqTakesAndRefusesWhatItWouldMisread)
{
    // url -> host|port|user|dbname|further options
    const std::pair<const char*, const char*> good[] = {
        {"postgresql://qa@db.line.local:5433/calib", "db.line.local|5433|qa|calib|"},
        {"postgres://%2Fvar%2Frun%2Fpostgresql/calib", "/var/run/postgresql|-1||calib|"},
        {"postgresql:///calib?host=/tmp/pg&port=6000&sslmode=require", "/tmp/pg|6000||calib|sslmode=require"},
        {" postgresql://u:secret@[::1]:5432/db ", "::1|5432|u|db|"},
    };
    for (const auto& [url, parts] : good) {
        QString error;
        const ServerAddress a = ServerAddress::Parse(url, &error);
        EXPECT_EQ(QStringList({a.host(), QString::number(a.port()), a.user(), a.databaseName(), a.options().join(' ')})
                      .join('|'),
                  parts)
            << error.toStdString();
    }
    QString error;
    EXPECT_EQ(ServerAddress::Parse("postgresql://u:secret@[::1]:5432/db", &error).display(),
              "postgresql://u@[::1]:5432/db");

    const std::pair<const char*, const char*> bad[] = {
        {"Calibration.dt", "does not start with postgresql://"},
        {"postgresql://h:99999/d", "port '99999' is not a number 1..65535"},
        {"postgresql://[::1/d", "']' is missing"},
        {"postgresql://h/d?colour=red", "'colour' is not one of host, port"},
        {"postgresql://h/d?application_name=a%20b", "holds a blank"},
    };
    for (const auto& [url, why] : bad) {
        EXPECT_TRUE(ServerAddress::Parse(url, &error).isEmpty()) << url;
        EXPECT_TRUE(error.contains(why)) << error.toStdString();
    }
}

TEST(ServerAddress, AServerThatIsNotThereFailsAtOnceWithTheAddress)
{
    QTemporaryDir dir;
    QString error;
    ServerStore server(
        ServerAddress::Parse("postgresql://qa@" + QUrl::toPercentEncoding(dir.path()) + "/calib", &error));
    EXPECT_EQ(server.put(RecordSet::Make("SN1", {}), &error), ServerStore::Outcome::Failed);
    EXPECT_TRUE(error.startsWith("postgresql://qa@" + dir.path() + "/calib cannot be reached")) << error.toStdString();
}
