// telvaron-unitsim as a separate process.
#include "request_frames.h"
#include "wire_client.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Starts the simulator and waits for its "serving ..." line. It has no identity yet: identify is
// not supported.
QString StartUnitsim(QProcess& process, const QStringList& arguments)
{
    process.start(QStringLiteral(UNITSIM_EXECUTABLE), arguments);
    if (!process.waitForStarted(2000) || !process.waitForReadyRead(3000))
        return {};
    return QString::fromUtf8(process.readLine()).trimmed();
}

TEST(UnitsimExecutableTest, ServesAPtyLinkAndRemovesItOnSigterm)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("unit"));
    QProcess unitsim;
    const QString ready =
        StartUnitsim(unitsim, {QStringLiteral("--pty"), link, QStringLiteral("--bare-status")});
    ASSERT_TRUE(ready.startsWith(QStringLiteral("serving pty ") + link)) << ready.toStdString();

    {
        TtyClient client(link);
        ASSERT_TRUE(client.IsOpen());
        client.Send(RequestFrame(kIdentify));
        EXPECT_EQ(client.ReadUntilQuiet(200), QByteArray(1, char(0xF9)));
    }

    unitsim.terminate();
    ASSERT_TRUE(unitsim.waitForFinished(3000));
    EXPECT_EQ(unitsim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(unitsim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(UnitsimExecutableTest, ServesTcpOnAFreePortAndLogs)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("unit.log"));
    QProcess unitsim;
    const QString ready = StartUnitsim(unitsim, {QStringLiteral("--tcp"), QStringLiteral("0"),
                                                 QStringLiteral("--log"), logPath, QStringLiteral("--paced"),
                                                 QStringLiteral("--turnaround"), QStringLiteral("20")});
    const auto match = QRegularExpression(QStringLiteral(R"(^serving tcp 127\.0\.0\.1:(\d+)$)")).match(ready);
    ASSERT_TRUE(match.hasMatch()) << ready.toStdString();

    TcpClient client(match.captured(1).toUShort());
    ASSERT_TRUE(client.IsConnected());
    QByteArray bad = RequestFrame(kIdentify);
    bad[14] = char(bad[14] ^ 1);
    client.Send(bad);
    EXPECT_EQ(client.ReadUntilQuiet(200).toHex(' '), Padded(0xFB).toHex(' '));

    unitsim.terminate();
    ASSERT_TRUE(unitsim.waitForFinished(3000));
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("RX 07 00")) << text.toStdString();
    EXPECT_TRUE(text.contains("TX FB 00")) << text.toStdString();
}

TEST(UnitsimExecutableTest, OnlyALiveUnitLogsWhileServing)
{
    constexpr quint8 kLogPointer = 25;
    struct Case
    {
        bool live;
        int pageBytesWritten; // of sensor 1's log: its first sample, at start, or nothing
    };
    for (const Case c : {Case{false, 0}, Case{true, 13 + 2}}) {
        QStringList arguments{QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--unit"),
                              QStringLiteral("--log-interval"), QStringLiteral("15")};
        if (c.live)
            arguments << QStringLiteral("--live");
        QProcess unitsim;
        const QString ready = StartUnitsim(unitsim, arguments);
        const auto match = QRegularExpression(QStringLiteral(R"(tcp 127\.0\.0\.1:(\d+)$)")).match(ready);
        ASSERT_TRUE(match.hasMatch()) << ready.toStdString();
        TcpClient client(match.captured(1).toUShort());
        client.Send(RequestFrame(kLogPointer, QByteArray(1, '\0')));
        const QByteArray reply = client.Read(12, 2000);
        ASSERT_EQ(reply.size(), 12);
        EXPECT_EQ(quint8(reply[1]) | quint8(reply[2]) << 8, c.pageBytesWritten) << c.live;
        unitsim.terminate();
        ASSERT_TRUE(unitsim.waitForFinished(3000));
    }
}

TEST(UnitsimExecutableTest, RefusesAmbiguousOrMissingLines)
{
    const QStringList cases[] = {
        {},
        {QStringLiteral("--tcp"), QStringLiteral("1"), QStringLiteral("--pty"), QStringLiteral("/tmp/x")},
        {QStringLiteral("--tcp"), QStringLiteral("70000")},
        {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--turnaround"),
         QStringLiteral("soon")},
        {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--live"), QStringLiteral("--seed"),
         QStringLiteral("soon")},
    };
    for (const QStringList& arguments : cases) {
        QProcess unitsim;
        unitsim.start(QStringLiteral(UNITSIM_EXECUTABLE), arguments);
        ASSERT_TRUE(unitsim.waitForFinished(3000));
        EXPECT_EQ(unitsim.exitCode(), 2) << arguments.join(u' ').toStdString();
    }
}

} // namespace
