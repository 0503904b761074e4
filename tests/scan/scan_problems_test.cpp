#include "scan_fixture.h"

#include <scan/scan_problems.h>

#include <gtest/gtest.h>

namespace {
QDateTime At(int minute, int second)
{
    return QDateTime(QDate(2024, 5, 1), QTime(12, minute, second), Qt::UTC);
}
} // namespace

// A database trouble whose cause changes from pass to pass is one trouble: the line gives the
// latest cause and the time the trouble began, until a whole pass goes by without it.
TEST(ScanProblems, ATroubleKeepsItsStartWhileItsCauseChanges)
{
    FakeScanWindow window;
    ScanProblems problems(window);
    const QString key = QStringLiteral("database");
    problems.Follow(key, QStringLiteral("restarted"), At(0, 5));
    problems.Follow(key, QStringLiteral("refused"), At(0, 6));
    EXPECT_EQ(window.status, QStringLiteral("refused (από τις 12:00:05)"));
    problems.EndPass();
    problems.Follow(key, QStringLiteral("no answer"), At(0, 20));
    EXPECT_EQ(window.status, QStringLiteral("no answer (από τις 12:00:05)"));
    problems.EndPass();
    problems.Follow(key, QStringLiteral("refused"), At(0, 35));
    problems.EndPass();
    EXPECT_EQ(window.status, QStringLiteral("refused (από τις 12:00:05)"));

    problems.EndPass();
    EXPECT_EQ(window.status, QString());
    problems.Follow(key, QStringLiteral("refused"), At(1, 0));
    EXPECT_EQ(window.status, QStringLiteral("refused (από τις 12:01:00)"));
}
