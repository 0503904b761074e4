// The unit's output on a line whose other end goes away in the middle of a reply.
#include "sim_log.h"
#include "sim_output_runner.h"
#include "sim_transport.h"

#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace unitsim;

namespace {

// A line whose peer has closed: a write finds the link lost at once, as a TCP write does then,
// until a new peer comes.
class ClosedPeerLine : public SimTransport
{
public:
    bool Start(QString*) override { return true; }
    void Write(const QByteArray& bytes) override
    {
        if (peerGone)
            emit LinkLost();
        else
            received += bytes;
    }
    void DropLink(int) override {}
    QString Describe() const override { return QStringLiteral("closed peer"); }

    bool peerGone = true;
    QByteArray received;
};

TEST(OutputRunnerTest, AWriteThatLosesItsLinkEndsAndTheNextPeerIsAnswered)
{
    struct Outcome
    {
        QByteArray received;
        int drained = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    // In a thread of its own, so that a runner that spins fails the test instead of hanging it.
    QThread* unit = QThread::create([outcome] {
        SimLog log;
        ClosedPeerLine line;
        OutputRunner runner(log);
        runner.SetTransport(&line);
        // As the simulator resets its line when the link is lost.
        QObject::connect(&line, &SimTransport::LinkLost, &runner, &OutputRunner::Clear);
        QObject::connect(&runner, &OutputRunner::Drained, [&] { ++outcome->drained; });
        runner.Enqueue({SimAction::Write("reply"), SimAction::Write("rest of the reply")});
        line.peerGone = false;
        runner.Enqueue({SimAction::Write("next")});
        outcome->received = line.received;
    });
    unit->start();
    // A spinning thread is left running for the process to end.
    ASSERT_TRUE(unit->wait(QDeadlineTimer(1000))) << "the write on the lost link never ended";
    delete unit;
    EXPECT_EQ(outcome->received, "next") << "what was due to the closed peer is void";
    EXPECT_EQ(outcome->drained, 1) << "only the next peer's reply is sent out";
}

} // namespace
