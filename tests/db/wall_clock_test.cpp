#include "wall_clock.h"

#include <gtest/gtest.h>

namespace {

QDateTime At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

// What each driver gives back is read by DatabaseTest.WallClockTimesComeBackUnchangedUnderSummerTime;
// these are the forms that the database round trip does not make.
TEST(WallClock, BindsAsTextOfItsOwnDateAndTimeAndReadsOtherForms)
{
    EXPECT_EQ(WallClockValue(At(2009, 12, 24, 13, 45)).toString(), "2009-12-24 13:45:00");
    EXPECT_EQ(WallClockValue(At(2024, 3, 31, 3, 30, 15, 250)).toString(), "2024-03-31 03:30:15.250");
    EXPECT_EQ(WallClockValue(At(2000, 1, 2, 0, 0, 9, 7)).toString(), "2000-01-02 00:00:09.007");
    // Whatever its timeSpec(), the fields are taken as they are, never converted.
    const QDateTime offset(QDate(2024, 3, 31), QTime(3, 30), Qt::OffsetFromUTC, 7200);
    EXPECT_EQ(WallClockValue(offset).toString(), "2024-03-31 03:30:00");
    EXPECT_TRUE(WallClockValue(QDateTime()).isNull());

    const struct
    {
        QVariant read;
        QDateTime expected;
    } cases[] = {
        {QString("2024-10-27T03:30:00"), At(2024, 10, 27, 3, 30)},
        {QDateTime(QDate(2024, 3, 31), QTime(3, 30), Qt::UTC), At(2024, 3, 31, 3, 30)},
        {QVariant(QMetaType::fromType<QString>()), QDateTime()},
        {QString("not a time"), QDateTime()},
        {QString("2024-13-01 00:00:00"), QDateTime()},
    };
    for (const auto& c : cases) {
        const QDateTime read = WallClockFromValue(c.read);
        EXPECT_EQ(read, c.expected) << c.read.toString().toStdString();
        if (read.isValid()) {
            EXPECT_EQ(read.timeSpec(), Qt::UTC);
        }
    }
}

} // namespace
