#include "unitsim_process.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

QString StartUnitsim(QProcess& process, const QString& arguments)
{
    process.start(QStringLiteral(UNITSIM_EXECUTABLE), arguments.split(u' ', Qt::SkipEmptyParts));
    if (!process.waitForStarted(2000) || !process.waitForReadyRead(3000))
        return {};
    return QString::fromUtf8(process.readLine()).trimmed();
}

quint16 TcpPortOf(const QString& ready)
{
    const auto match = QRegularExpression(QStringLiteral(R"(^serving tcp 127\.0\.0\.1:(\d+)$)")).match(ready);
    return match.hasMatch() ? match.captured(1).toUShort() : 0;
}

void Terminate(QProcess& unitsim)
{
    unitsim.terminate();
    ASSERT_TRUE(unitsim.waitForFinished(3000));
    EXPECT_EQ(unitsim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(unitsim.exitCode(), 0);
}
