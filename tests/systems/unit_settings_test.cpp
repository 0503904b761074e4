#include <settings_image.h>
#include <settings_memory.h>
#include <systems/systems_info.h>
#include <systems/unit_address.h>
#include <systems/unit_queries.h>
#include <systems/unit_settings.h>
#include <unit_model.h>

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

TEST(UnitSettings, DecodeReadsWhatTheUnitWroteInBothLayouts)
{
    for (const bool twenty : {true, false}) {
        SCOPED_TRACE(twenty);
        ImageContents contents = DefaultImageContents(twenty, 3, 200);
        contents.securityCode = QStringLiteral("87654321");
        contents.systemName = QByteArray("\x80\x81-7");
        contents.mainsMode = 1;
        contents.sensors.back().type = 5;
        contents.sensors.back().maxInUse = false;
        QString problem;
        const auto s = DecodeUnitSettings(ImageOf(contents), twenty ? 0 : 1, &problem);
        ASSERT_TRUE(s) << problem.toStdString();
        EXPECT_EQ(s->systemNumber, 200);
        EXPECT_EQ(s->systemName, QStringLiteral("ΑΒ-7"));
        EXPECT_EQ(s->securityCode, QStringLiteral("87654321"));
        EXPECT_EQ(s->powerInputs, twenty ? 4 : 2);
        EXPECT_EQ(s->mainsMode, 1);
        ASSERT_EQ(s->sensors.size(), twenty ? 20u : 8u);
        EXPECT_EQ(s->sensors[2].name, QStringLiteral("ΘΑΛΑΜΟΣ 3"));
        EXPECT_TRUE(s->sensors[2].inUse);
        EXPECT_FALSE(s->sensors[3].inUse);
        EXPECT_EQ(s->sensors.back().type, 5);
        EXPECT_FALSE(s->sensors.back().maximum);
        EXPECT_FLOAT_EQ(s->sensors.back().minimum.value_or(0), -2.5f);
    }
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

TEST(UnitSettings, SensorsOutOfUseKeepTheirTypeCodes)
{
    const struct
    {
        bool twenty;
        int row;
        int type;
    } cases[] = {{true, 0, 0}, {true, 9, 5}, {true, 10, 6}, {true, 19, 255}, {false, 3, 1}, {false, 7, 200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.twenty << " row " << c.row << " type " << c.type);
        ImageContents contents = DefaultImageContents(c.twenty, 1, 1);
        contents.sensors[c.row].type = c.type;
        contents.sensors[c.row].active = false;
        QString problem;
        const auto s = DecodeUnitSettings(ImageOf(contents), c.twenty ? 0 : 1, &problem);
        ASSERT_TRUE(s) << problem.toStdString();
        EXPECT_EQ(s->sensors[c.row].type, c.type);
        EXPECT_FALSE(s->sensors[c.row].inUse);
    }
}

TEST(UnitQueries, RepliesReadAsTheUnitSendsThem)
{
    unitsim::UnitModel model;
    model.update([](unitsim::UnitState& s) {
        s.identity = {QStringLiteral("SN-0123456789AB"),
                      QStringLiteral("TELVARON-1G"),
                      QStringLiteral("1.2.3.4"),
                      QStringLiteral("HW-7"),
                      254,
                      20};
    });
    const IdentifyReply id = DecodeIdentifyReply(ReplyOf(model.identify(QByteArray(15, '\0')).payload));
    EXPECT_EQ(id.serialNumber, QStringLiteral("SN-0123456789AB"));
    EXPECT_EQ(id.softwareVersion, QStringLiteral("1.2.3.4"));
    EXPECT_EQ(id.hardwareVersion, QStringLiteral("HW-7"));
    EXPECT_EQ(id.systemNumber, 254);
    EXPECT_EQ(DecodeModelReply(ReplyOf(unitsim::ReadModel(model).payload)), QStringLiteral("TELVARON-1G"));

    unitsim::SettingsMemory memory;
    RequestFrame request{};
    const int length = SettingsBlockRequest(request, 9);
    EXPECT_EQ(length, 2);
    const auto answer = memory.readBlock(QByteArray(reinterpret_cast<const char*>(request.data()), 15));
    EXPECT_TRUE(SettingsBlockReplyIsFor(ReplyOf(answer.payload), 9));
    EXPECT_FALSE(SettingsBlockReplyIsFor(ReplyOf(answer.payload), 8));
}

TEST(UnitAddressTest, AddressesAndTheirConflicts)
{
    EXPECT_EQ(SerialAddress(16).LinkAddress(), QStringLiteral("16-115200"));
    QString problem;
    const auto tcp = TcpAddress(QStringLiteral(" 10.0.0.7"), QStringLiteral("4001 "), &problem);
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->LinkAddress(), QStringLiteral("10.0.0.7:4001-115200"));
    EXPECT_EQ(tcp->Display(), QStringLiteral("10.0.0.7:4001"));

    // Every number is decimal, with or without leading zeros; the address is kept without them.
    const struct
    {
        const char* typed;
        const char* host;
    } accepted[] = {{"192.168.001.020", "192.168.1.20"},
                    {"010.000.000.010", "10.0.0.10"},
                    {"000.000.000.000", "0.0.0.0"},
                    {"255.255.255.255", "255.255.255.255"}};
    for (const auto& a : accepted) {
        SCOPED_TRACE(a.typed);
        const auto address = TcpAddress(QString::fromLatin1(a.typed), QStringLiteral("4001"), &problem);
        ASSERT_TRUE(address);
        EXPECT_EQ(address->host, QString::fromLatin1(a.host));
        EXPECT_EQ(address->LinkAddress(), QString::fromLatin1(a.host) + QStringLiteral(":4001-115200"));
    }

    const struct
    {
        const char* ip;
        const char* port;
    } refused[] = {{"10.0.0", "4001"},    {"host.example", "1"}, {"::1", "1"},        {"10.0.0.7", "0"},
                   {"10.0.0.7", "65536"}, {"10.0.0.7", "-1"},    {"10.0.0.7", "40a"}, {"10.0.0.7", ""}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.ip + std::string(" ") + r.port);
        EXPECT_FALSE(TcpAddress(QString::fromLatin1(r.ip), QString::fromLatin1(r.port), &problem));
    }
    for (const char* ip : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "0x7f.0.0.1", "1..2.3", "", "1.2.3.-4",
                           "1.2.3.4a", "1.2.3.+4", "1.2.3. 4", "1.2.3.4."}) {
        SCOPED_TRACE(ip);
        problem.clear();
        EXPECT_FALSE(TcpAddress(QString::fromLatin1(ip), QStringLiteral("4001"), &problem));
        EXPECT_EQ(problem, QStringLiteral("Μη έγκυρη διεύθυνση IP !"));
    }

    SystemInfo serial5;
    serial5.commPort = 1;
    serial5.aux1 = QStringLiteral("5-115200");
    SystemInfo tcp4001;
    tcp4001.commPort = 0;
    tcp4001.aux1 = QStringLiteral("10.0.0.7:4001-115200");
    EXPECT_TRUE(SerialAddress(5).SameLineAs(serial5));
    EXPECT_FALSE(SerialAddress(4).SameLineAs(serial5));
    EXPECT_FALSE(SerialAddress(5).SameLineAs(tcp4001));
    EXPECT_TRUE(tcp->SameLineAs(tcp4001));
    EXPECT_FALSE(
        TcpAddress(QStringLiteral("10.0.0.7"), QStringLiteral("4002"), &problem)->SameLineAs(tcp4001));
    EXPECT_FALSE(tcp->SameLineAs(serial5));

    // A listed address written with leading zeros is the same decimal address.
    SystemInfo zeros;
    zeros.commPort = 0;
    zeros.aux1 = QStringLiteral("010.000.000.010:4001-115200");
    EXPECT_TRUE(TcpAddress(QStringLiteral("10.0.0.10"), QStringLiteral("4001"), &problem)->SameLineAs(zeros));
    EXPECT_FALSE(TcpAddress(QStringLiteral("8.0.0.8"), QStringLiteral("4001"), &problem)->SameLineAs(zeros));
}

} // namespace
