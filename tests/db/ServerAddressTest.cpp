#include "db/ServerAddress.h"
#include "db/ServerStore.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace psucal;

TEST(ServerAddress, TakesTheAddressesLibpqTakes)
{
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* user;
        const char* db;
        QStringList options;
    };
    const Case cases[] = {
        {"postgresql://qa@db.line.local:5433/calib", "db.line.local", 5433, "qa", "calib", {}},
        {"postgres://%2Fvar%2Frun%2Fpostgresql/calib", "/var/run/postgresql", -1, "", "calib", {}},
        {"postgresql:///calib?host=/tmp/pg&port=6000&sslmode=require",
         "/tmp/pg",
         6000,
         "",
         "calib",
         {"sslmode=require"}},
        {" postgresql://u:secret@[::1]:5432/db ", "::1", 5432, "u", "db", {}},
    };
    for (const Case& c : cases) {
        QString error;
        const ServerAddress a = ServerAddress::Parse(QString::fromUtf8(c.url), &error);
        ASSERT_FALSE(a.isEmpty()) << c.url << ": " << error.toStdString();
        EXPECT_EQ(a.host(), QString::fromUtf8(c.host)) << c.url;
        EXPECT_EQ(a.port(), c.port) << c.url;
        EXPECT_EQ(a.user(), QString::fromUtf8(c.user)) << c.url;
        EXPECT_EQ(a.databaseName(), QString::fromUtf8(c.db)) << c.url;
        EXPECT_EQ(a.options(), c.options) << c.url;
    }
    QString error;
    EXPECT_EQ(ServerAddress::Parse("postgresql://u:secret@[::1]:5432/db", &error).display(),
              "postgresql://u@[::1]:5432/db");
}

TEST(ServerAddress, RefusesWhatLibpqWouldMisreadAndSaysWhy)
{
    const std::pair<const char*, const char*> bad[] = {
        {"mysql://h/d", "does not start with postgresql://"},
        {"Calibration.dt", "does not start with postgresql://"},
        {"postgresql://h:99999/d", "port '99999' is not a number 1..65535"},
        {"postgresql://[::1/d", "']' is missing"},
        {"postgresql://h/d?colour=red", "'colour' is not one of host, port"},
        {"postgresql://h/d?application_name=a%20b", "holds a blank"},
    };
    for (const auto& [url, why] : bad) {
        QString error;
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
