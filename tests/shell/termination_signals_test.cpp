#include <shell/termination_signals.h>

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace {
void Handle(int signal, void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(signal, &action, nullptr), 0);
}

void (*HandlerOf(int signal))(int)
{
    struct sigaction current
    {
    };
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler;
}
} // namespace

TEST(TerminationSignals, TheFirstEndsUnaskedInTheLoopAFurtherOneEndsAtOnce)
{
    // As a login starts the program, whatever the test runner ignores.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        Handle(signal, SIG_DFL);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        int unasked = 0, now = 0;
        {
            const TerminationSignals termination([&] { ++unasked; }, [&] { ++now; });
            ASSERT_EQ(std::raise(signal), 0);
            EXPECT_EQ(unasked, 0) << "acted on by the loop, not by the handler";
            EXPECT_TRUE(QTest::qWaitFor([&] { return unasked == 1; }, 2000));
            EXPECT_EQ(now, 0);
            ASSERT_EQ(std::raise(signal == SIGINT ? SIGTERM : SIGINT), 0);
            EXPECT_TRUE(QTest::qWaitFor([&] { return now == 1; }, 2000));
            EXPECT_EQ(unasked, 1);
        }
        EXPECT_EQ(HandlerOf(signal), SIG_DFL) << "the former handling is back";
    }
}

TEST(TerminationSignals, ASignalTheStarterIgnoresStaysIgnored)
{
    Handle(SIGHUP, SIG_IGN);
    int ends = 0;
    {
        const TerminationSignals termination([&] { ++ends; }, [&] { ++ends; });
        ASSERT_EQ(std::raise(SIGHUP), 0);
        QTest::qWait(100);
    }
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
    Handle(SIGHUP, SIG_DFL);
}
