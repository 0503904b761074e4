#include <link/hex_text.h>
#include <settings_image.h>
#include <settings_memory.h>
#include <settings_upload.h>
#include <unit_model.h>

#include <QByteArray>

#include <gtest/gtest.h>

namespace {
using namespace unitsim;

// A record line as the server sends it: Intel HEX, digits swapped pairwise, CR LF.
QByteArray Line(quint8 type, int address, const QByteArray& data, int checksumError = 0)
{
    QString text = QStringLiteral(":") + Hex2(quint8(data.size())) + Hex2(quint8(address >> 8)) +
                   Hex2(quint8(address)) + Hex2(type) + QString::fromLatin1(data.toHex().toUpper());
    text += Hex2(quint8(IntelHexChecksum(text).toInt(nullptr, 16) + checksumError));
    return ScrambleHexDigits(text).toLatin1() + "\r\n";
}

// The first records of the image, each of 16 bytes, then the end record when withEnd.
QByteArray Records(const QByteArray& image, int records, bool withEnd = false)
{
    QByteArray lines;
    for (int n = 0; n < records; ++n)
        lines += Line(0, n * 16, image.mid(n * 16, 16));
    return withEnd ? lines + Line(1, 0, {}) : lines;
}

class UploadSide : public ::testing::Test
{
public:
    void SetUp() override
    {
        memory.SetImage(BuildSettingsImage(DefaultImageContents(true, 20, 1)));
        image = memory.Image();
        image[700] = char(0x5A); // a change the checksum below accounts for
        const quint32 sum = SettingsSum(image, true);
        for (int i = 0; i < 4; ++i)
            image[607 + i] = char(sum >> (8 * i));
    }

    // Opens the text input as the server does: command 11 twice.
    void Begin()
    {
        const QByteArray request(15, char(11));
        ASSERT_EQ(upload.Begin(request).payload, QByteArray(1, char(0xFF)));
        ASSERT_EQ(upload.Begin(request).payload, QByteArray(1, char(0xFF)));
    }

    // The answers to the lines, sent at once.
    QByteArray Send(const QByteArray& lines)
    {
        QByteArray answers;
        for (const SimAction& a : upload.Receive(lines, ++now))
            answers += a.bytes;
        return answers;
    }

    CommandAnswer Commit()
    {
        return upload.Commit(QByteArray("\x13\x09\x1E\x06\x0C\x1A", 6) + QByteArray(9, '\0'));
    }

    UnitModel model;
    SettingsMemory memory;
    SettingsUpload upload{model, memory, 1000};
    QByteArray image;
    qint64 now = 0;
};

TEST_F(UploadSide, AppliesACompleteUploadAndTheClockOnCommit)
{
    Begin();
    EXPECT_TRUE(upload.Takes(now));
    EXPECT_EQ(Send(Records(image, 256, true)), QByteArray(257, '~'));
    EXPECT_FALSE(upload.Takes(now));
    EXPECT_EQ(Commit().payload, QByteArray(1, char(0xFF)));
    EXPECT_EQ(memory.Image(), image);
    EXPECT_EQ(model.State().clock, QDateTime(QDate(2026, 12, 6), QTime(9, 30), Qt::UTC));
    EXPECT_EQ(upload.Commits(), 1);
}

// Each of these voids the upload: the memory stays as it was.
TEST_F(UploadSide, RefusesWhatIsNotASoundUpload)
{
    QByteArray wrongSum = image;
    wrongSum[800] = char(wrongSum[800] + 1);
    const struct
    {
        const char* name;
        QByteArray lines;
        QByteArray answers;
    } cases[] = {
        {"bad record checksum", Line(0, 0, image.left(16), 1), "@"},
        {"record beyond the memory", Line(0, 4096, image.left(16)), "@"},
        {"short record", Line(0, 0, image.left(8)), "@"},
        {"end record before all data", Records(image, 255, true), QByteArray(255, '~') + "@"},
        {"settings checksum wrong", Records(wrongSum, 256, true), QByteArray(257, '~')},
    };
    const QByteArray before = memory.Image();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Begin();
        EXPECT_EQ(Send(c.lines), c.answers);
        EXPECT_EQ(Commit().payload, QByteArray(1, char(0x00)));
        EXPECT_EQ(memory.Image(), before);
    }
}

TEST_F(UploadSide, TextInputLapsesOnAnIdleLine)
{
    Begin();
    Send(Records(image, 3));
    EXPECT_TRUE(upload.Takes(now + 1000));
    EXPECT_FALSE(upload.Takes(now + 1001));
}

} // namespace
