#include "terminal/BatchRunner.h"
#include "terminal/BatchHost.h"
#include "terminal/CommandLine.h"
#include "terminal/Session.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <unistd.h>

using namespace psucal;

namespace {

// The terminal runner against the simulator on a pseudo-terminal, in real time. A unit without
// a valid rating has no calibration points, which keeps the run short.
struct UnratedBatch {
    UnratedBatch() : host(stdout, stderr), session(options(dir.path()), host) { host.attach(&session.ui); }
    static Options options(const QString& dir)
    {
        Options o = parseCommandLine({"--simulate", "--dir", dir});
        o.simModel = 0; // no command line asks for this unit
        return o;
    }
    int run(bool yes, int inputFd)
    {
        QString error;
        return session.prepare(&error) ? RunBatch(session, host, yes, inputFd) : 100;
    }

    QTemporaryDir dir;
    BatchHost host;
    Session session;
};

} // namespace

TEST(BatchRunner, UnknownRatingEndsThroughCloseWithStatusOne)
{
    UnratedBatch b;
    EXPECT_EQ(b.run(true, -1), 1);
    EXPECT_TRUE(b.session.ui.ending());
    EXPECT_EQ(b.session.wizard.state(), Wizard::State::Close);
}

TEST(BatchRunner, ClosedInputAtThePromptIsNoAnswer)
{
    // A number nothing takes during the run: ports and timers get the lowest free ones, and a
    // reused number would be a live descriptor.
    const int closedFd = 999;
    ASSERT_EQ(::fcntl(closedFd, F_GETFD), -1);
    UnratedBatch b;
    EXPECT_EQ(b.run(false, closedFd), 1);
    EXPECT_EQ(b.session.wizard.state(), Wizard::State::Next); // the current step never ran
}
