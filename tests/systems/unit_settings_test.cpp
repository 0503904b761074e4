#include <settings_image.h>
#include <settings_memory.h>
#include <unit/systems_info.h>
#include <unit/unit_address.h>
#include <unit/unit_queries.h>
#include <unit/unit_settings.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
using unitsim::DefaultImageContents;
using unitsim::ImageContents;

SettingsImage ImageOf(const ImageContents& contents)
{
    const QByteArray bytes = unitsim::BuildSettingsImage(contents);
    SettingsImage image{};
    std::copy_n(reinterpret_cast<const quint8*>(bytes.constData()), image.size(), image.begin());
    return image;
}

ReplyBuffer ReplyOf(const QByteArray& payload)
{
    ReplyBuffer reply{};
    std::copy_n(reinterpret_cast<const quint8*>(payload.constData()), payload.size(), reply.begin());
    return reply;
}

TEST(UnitSettings, ValuesOutsideWhatTheUnitHoldsAreRefused)
{
    const struct
    {
        const char* what;
        bool twenty;
        std::function<void(ImageContents&)> change;
    } cases[] = {
        {"system number 0", true, [](ImageContents& s) { s.systemNumber = 0; }},
        {"mains mode beyond 3 inputs", true, [](ImageContents& s) { s.mainsMode = 4; }},
        {"mains mode beyond 1 input", false, [](ImageContents& s) { s.mainsMode = 2; }},
        {"analog type on a digital row", false, [](ImageContents& s) { s.sensors[0].type = 1; }},
        {"unknown type on an analog row in use", true,
         [](ImageContents& s) {
             s.sensors[19].type = 6;
             s.sensors[19].active = true;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ImageContents contents = DefaultImageContents(c.twenty, 1, 1);
        c.change(contents);
        QString problem;
        EXPECT_FALSE(DecodeUnitSettings(ImageOf(contents), c.twenty ? 0 : 1, &problem));
        EXPECT_FALSE(problem.isEmpty());
    }
}

// A settings block's reply is taken only for the block asked.
TEST(UnitQueries, BlockRepliesAreForTheBlockAsked)
{
    unitsim::SettingsMemory memory;
    RequestFrame request{};
    EXPECT_EQ(SettingsBlockRequest(request, 9), 2);
    const auto answer = memory.ReadBlock(QByteArray(reinterpret_cast<const char*>(request.data()), 15));
    EXPECT_TRUE(SettingsBlockReplyIsFor(ReplyOf(answer.payload), 9));
    EXPECT_FALSE(SettingsBlockReplyIsFor(ReplyOf(answer.payload), 8));
}

TEST(UnitAddressTest, TypedAddressesAreDecimalAndKeptWithoutLeadingZeros)
{
    EXPECT_EQ(SerialAddress(16).LinkAddress(), QStringLiteral("16-115200"));
    QString problem;
    const struct
    {
        const char *ip, *port, *display;
    } accepted[] = {
        {" 10.0.0.7", "4001 ", "10.0.0.7:4001"},       {"192.168.001.020", "4001", "192.168.1.20:4001"},
        {"010.000.000.010", "1", "10.0.0.10:1"},       {"000.000.000.000", "65535", "0.0.0.0:65535"},
        {"255.255.255.255", "1", "255.255.255.255:1"},
    };
    for (const auto& c : accepted) {
        const auto address = TcpAddress(QString::fromLatin1(c.ip), QString::fromLatin1(c.port), &problem);
        ASSERT_TRUE(address) << c.ip;
        EXPECT_EQ(address->Display(), QString::fromLatin1(c.display));
        EXPECT_EQ(address->LinkAddress(), QString::fromLatin1(c.display) + QStringLiteral("-115200"));
    }
    for (const char* ip :
         {"10.0.0", "host.example", "::1", "256.1.1.1", "1.256.1.1", "1.2.3.4.5", "0x7f.0.0.1", "1..2.3", "",
          "1.2.3.-4", "1.2.3.4a", "1.2.3.+4", "1.2.3. 4", "1.2.3.4."}) {
        problem.clear();
        EXPECT_FALSE(TcpAddress(QString::fromLatin1(ip), QStringLiteral("4001"), &problem)) << ip;
        EXPECT_EQ(problem, QStringLiteral("Μη έγκυρη διεύθυνση IP !")) << ip;
    }
    for (const char* port : {"0", "65536", "-1", "40a", ""}) {
        problem.clear();
        EXPECT_FALSE(TcpAddress(QStringLiteral("10.0.0.7"), QString::fromLatin1(port), &problem)) << port;
        EXPECT_EQ(problem, QStringLiteral("Μη έγκυρη θύρα TCP. Δώστε αριθμό από 1 έως 65535 !")) << port;
    }
}

// Two units share a line when both are serial on one port, or both TCP on one host and port.
TEST(UnitAddressTest, ConflictsAreTheSameLineOnly)
{
    QString problem;
    const auto tcp = [&](const char* ip, const char* port) {
        return *TcpAddress(QString::fromLatin1(ip), QString::fromLatin1(port), &problem);
    };
    const struct
    {
        UnitAddress typed;
        int commPort;
        const char* listed;
        bool same;
    } cases[] = {
        {SerialAddress(5), 1, "5-115200", true},
        {SerialAddress(4), 1, "5-115200", false},
        {SerialAddress(5), 0, "10.0.0.7:5-115200", false},
        {tcp("10.0.0.7", "4001"), 0, "10.0.0.7:4001-115200", true},
        {tcp("10.0.0.7", "4002"), 0, "10.0.0.7:4001-115200", false},
        {tcp("10.0.0.8", "4001"), 0, "10.0.0.7:4001-115200", false},
        {tcp("10.0.0.7", "5"), 1, "5-115200", false},
        {tcp("10.0.0.10", "4001"), 0, "010.000.000.010:4001-115200", true},
        {tcp("8.0.0.8", "4001"), 0, "010.000.000.010:4001-115200", false},
    };
    for (const auto& c : cases) {
        SystemInfo listed;
        listed.commPort = c.commPort;
        listed.aux1 = QString::fromLatin1(c.listed);
        EXPECT_EQ(c.typed.SameLineAs(listed), c.same) << c.typed.Display().toStdString() << " " << c.listed;
    }
}

} // namespace
