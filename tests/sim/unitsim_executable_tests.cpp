// telvaron-unitsim as a separate process.
#include "request_frames.h"
#include "unitsim_process.h"
#include "wire_client.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(UnitsimExecutableTest, ServesAPtyLinkAndRemovesItOnSigterm)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("unit"));
    QProcess unitsim;
    const QString ready = StartUnitsim(unitsim, QStringLiteral("--pty %1 --bare-status").arg(link));
    ASSERT_TRUE(ready.startsWith(QStringLiteral("serving pty ") + link)) << ready.toStdString();
    {
        const auto client = OpenTty(link);
        ASSERT_TRUE(client);
        Send(*client, RequestFrame(kIdentify));
        EXPECT_EQ(ReadUntilQuiet(*client, 200), QByteArray(1, char(0xF9)));
    }
    Terminate(unitsim);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(UnitsimExecutableTest, ServesTcpOnAFreePortAndLogs)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("unit.log"));
    QProcess unitsim;
    const QString ready =
        StartUnitsim(unitsim, QStringLiteral("--tcp 0 --log %1 --paced --turnaround 20").arg(logPath));
    const auto client = ConnectTcp(TcpPortOf(ready));
    ASSERT_TRUE(client) << ready.toStdString();
    QByteArray bad = RequestFrame(kIdentify);
    bad[14] = char(bad[14] ^ 1);
    Send(*client, bad);
    EXPECT_EQ(ReadUntilQuiet(*client, 200).toHex(' '), Padded(0xFB).toHex(' '));

    Terminate(unitsim);
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("RX 07 00")) << text.toStdString();
    EXPECT_TRUE(text.contains("TX FB 00")) << text.toStdString();
}

TEST(UnitsimExecutableTest, OnlyALiveUnitLogsWhileServing)
{
    constexpr quint8 kLogPointer = 25;
    // The bytes written in sensor 1's log page: its first sample, at start, or nothing.
    for (const auto& [live, pageBytesWritten] : {std::pair{false, 0}, std::pair{true, 13 + 2}}) {
        QProcess unitsim;
        const QString ready = StartUnitsim(unitsim, QStringLiteral("--tcp 0 --unit --log-interval 15") +
                                                        (live ? " --live" : ""));
        const auto client = ConnectTcp(TcpPortOf(ready));
        ASSERT_TRUE(client) << ready.toStdString();
        Send(*client, RequestFrame(kLogPointer, QByteArray(1, '\0')));
        const QByteArray reply = Read(*client, 12, 2000);
        ASSERT_EQ(reply.size(), 12);
        EXPECT_EQ(quint8(reply[1]) | quint8(reply[2]) << 8, pageBytesWritten) << live;
        Terminate(unitsim);
    }
}

TEST(UnitsimExecutableTest, RefusesAmbiguousOrMissingLines)
{
    for (const char* arguments : {"", "--tcp 1 --pty /tmp/x", "--tcp 70000", "--tcp 0 --turnaround soon",
                                  "--tcp 0 --live --seed soon", "--tcp 0 --live --clock 2024-05-17T25:00:00",
                                  "--tcp 0 --state unit.state"}) {
        QProcess unitsim;
        unitsim.start(QStringLiteral(UNITSIM_EXECUTABLE),
                      QString::fromLatin1(arguments).split(u' ', Qt::SkipEmptyParts));
        ASSERT_TRUE(unitsim.waitForFinished(3000));
        EXPECT_EQ(unitsim.exitCode(), 2) << arguments;
    }
}

} // namespace
