#include "systems_fixture.h"

#include <db/database.h>
#include <systems/unit_addition.h>
#include <systems/unit_rows.h>

#include <sim_fault.h>
#include <sim_fault_script.h>

#include <gtest/gtest.h>

namespace {
using unitsim::DefaultImageContents;
using unitsim::ImageContents;

class Addition : public SystemsFixture
{
};

// A twenty-sensor unit with contacts, limits left out, unused sensors and two mains inputs watched.
ImageContents TwentySensorContents()
{
    ImageContents contents = DefaultImageContents(true, 12, 7);
    contents.securityCode = QStringLiteral("87654321");
    contents.systemName = QByteArray("\xFF\x1C", 2) + "5"; // "ΚΑΤΑΣΤΗΜΑ 5"
    contents.mainsMode = 2;
    contents.sensors[0].type = 3;
    contents.sensors[1].maxInUse = false;
    contents.sensors[10].type = 1;
    contents.sensors[10].maxLimit = 80.5f;
    contents.sensors[10].minLimit = 20.25f;
    contents.sensors[11].minInUse = false;
    // Sensors out of use keep type codes outside their lists, on digital and analog rows.
    contents.sensors[9].active = false;
    contents.sensors[9].type = 5;
    contents.sensors[12].type = 9;
    contents.sensors[19].type = 255;
    return contents;
}

TEST_P(Addition, TwentySensorUnitOnASerialPortGetsItsRows)
{
    SimUnit& unit =
        ServePty(QStringLiteral("TV1-0042"), 3, QStringLiteral("TELVARON-1E"), TwentySensorContents());
    ASSERT_TRUE(Add(unit.address, QStringLiteral("87654321"))) << LastMessage().toStdString();

    const auto sys = Db().Select(QStringLiteral(
        "SELECT SyI_Used, SyI_Online, SyI_Commport, SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, "
        "SyI_Locationnumber, SyI_Systemname, SyI_EventsTable_Lastpagesn, SyI_EventsTable_Pagebyteswritt, "
        "SyI_EventsTable_LastrecSN FROM Systems_Info WHERE SyI_Serialnumber='TV1-0042'"));
    ASSERT_TRUE(sys && sys->size() == 1);
    QStringList cells;
    for (int c = 0; c < sys->front().count(); ++c)
        cells << sys->front().value(c).toString();
    EXPECT_EQ(cells.join(u'|'), QStringLiteral("1|0|1|3-115200|TELVARON-1E|2.31|B|7|ΚΑΤΑΣΤΗΜΑ 5|0|0|0"));

    const auto sensors = Db().Select(QStringLiteral(
        "SELECT SeI_Sensornumber, SeI_Used, SeI_Sensortype, SeI_Sensorname, SeI_Maxlimit, SeI_Minlimit, "
        "SeI_RecordsTable_Lastpagesn, SeI_RecordsTable_Pagebyteswrit, SeI_RecordsTable_LastrecSN "
        "FROM Sensors_Info WHERE SeI_SyI_Serialnumber='TV1-0042' ORDER BY SeI_Sensornumber"));
    ASSERT_TRUE(sensors);
    ASSERT_EQ(sensors->size(), 20);
    struct Expected
    {
        int number, used, type;
        QVariant max, min;
    };
    const Expected expected[] = {
        {1, 1, 3, {}, {}},       // a contact has no limits
        {2, 1, 2, {}, -2.5},     // a probe, maximum not in use
        {3, 1, 2, 8.0, -2.5},    // a probe
        {10, 0, 5, 8.0, -2.5},   // the last digital row, not active
        {11, 1, 1, 80.5, 20.25}, // the first analog row, a humidity input
        {12, 1, 0, 8.0, {}},     // minimum not in use
        {13, 0, 9, 8.0, -2.5},   // not active
        {20, 0, 255, 8.0, -2.5},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.number);
        const QSqlRecord& r = (*sensors)[e.number - 1];
        EXPECT_EQ(r.value(0).toInt(), e.number);
        EXPECT_EQ(r.value(1).toInt(), e.used);
        EXPECT_EQ(r.value(2).toInt(), e.type);
        EXPECT_EQ(r.value(3).toString(), QStringLiteral("ΘΑΛΑΜΟΣ %1").arg(e.number));
        EXPECT_EQ(r.value(4).isNull(), e.max.isNull());
        EXPECT_EQ(r.value(5).isNull(), e.min.isNull());
        EXPECT_FLOAT_EQ(r.value(4).toFloat(), e.max.toFloat());
        EXPECT_FLOAT_EQ(r.value(5).toFloat(), e.min.toFloat());
        EXPECT_EQ(r.value(6).toInt() + r.value(7).toInt() + r.value(8).toInt(), 0);
    }

    EXPECT_EQ(Column(QStringLiteral("SELECT PmI_Powernumber || ':' || PmI_Used FROM Powermonitoring_Info "
                                    "ORDER BY PmI_Powernumber")),
              QStringLiteral("1:1 2:1 3:1 4:0"));
    EXPECT_EQ(prompter_.textPrompts.size(), 1);
    EXPECT_TRUE(prompter_.textPrompts.front().contains(QStringLiteral("TV1-0042")));
    // A code, typed unseen, under a caption that begins with the program's title.
    EXPECT_TRUE(prompter_.textPrompts.front().startsWith(QStringLiteral("TELVARON Server")));
    EXPECT_EQ(unit.sim.Arrivals(CmdReadSettingsBlock), 16);
}

// Five sensors of eight in use; one out of use keeps a type code outside its list.
ImageContents EightSensorContents()
{
    ImageContents contents = DefaultImageContents(false, 5, 3);
    contents.sensors[6].type = 200;
    return contents;
}

TEST_P(Addition, EightSensorUnitOverTcpGetsItsRows)
{
    SimUnit& unit = ServeTcp(QStringLiteral("tv2-7"), QStringLiteral("TELVARON-2"), EightSensorContents());
    // 0127 is 127, not the octal 87.
    QString problem;
    const auto typed =
        TcpAddress(QStringLiteral("0127.0.0.001"), QString::number(unit.sim.TcpPort()), &problem);
    ASSERT_TRUE(Add(*typed)) << LastMessage().toStdString();

    EXPECT_EQ(
        Column(QStringLiteral("SELECT SyI_Commport || ' ' || SyI_Aux1 || ' ' || SyI_Locationnumber || ' ' || "
                              "COALESCE(SyI_Systemname, '') FROM Systems_Info")),
        QStringLiteral("0 127.0.0.1:%1-115200 3 ").arg(unit.sim.TcpPort()));
    // Digital rows 1-4 are probes, analog rows 5-8 temperature inputs.
    EXPECT_EQ(
        Column(QStringLiteral("SELECT SeI_Sensornumber || ':' || SeI_Used || ':' || SeI_Sensortype FROM "
                              "Sensors_Info WHERE SeI_SyI_Serialnumber='tv2-7' ORDER BY SeI_Sensornumber")),
        QStringLiteral("1:1:2 2:1:2 3:1:2 4:1:2 5:1:0 6:0:0 7:0:200 8:0:0"));
    EXPECT_EQ(
        Value(QStringLiteral("SELECT SeI_Sensorname FROM Sensors_Info WHERE SeI_Sensornumber=3")).toString(),
        QStringLiteral("ΘΑΛΑΜΟΣ 3"));
    EXPECT_EQ(Column(QStringLiteral("SELECT PmI_Powernumber || ':' || PmI_Used FROM Powermonitoring_Info "
                                    "ORDER BY PmI_Powernumber")),
              QStringLiteral("1:1 2:0"));
}

TEST_P(Addition, RemovalAndAddingAgainKeepTheReadPositions)
{
    SimUnit& unit =
        ServePty(QStringLiteral("TV1-9"), 2, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ASSERT_TRUE(Add(unit.address));
    ASSERT_TRUE(
        Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_EventsTable_Lastpagesn=12, "
                                 "SyI_EventsTable_Pagebyteswritt=264, SyI_EventsTable_LastrecSN=345")));
    ASSERT_TRUE(
        Db().Exec(QStringLiteral("UPDATE Sensors_Info SET SeI_RecordsTable_Lastpagesn=SeI_Sensornumber, "
                                 "SeI_RecordsTable_Pagebyteswrit=44, SeI_RecordsTable_LastrecSN=99")));
    ASSERT_TRUE(RemoveUnit(Db(), QStringLiteral("TV1-9")));
    EXPECT_EQ(Count(QStringLiteral("SELECT SyI_Used FROM Systems_Info")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info")), 20);

    // Back on another line, with sensor 1 switched off meanwhile.
    ImageContents contents = DefaultImageContents(true, 20, 4);
    contents.sensors[0].active = false;
    unit.memory.SetImage(unitsim::BuildSettingsImage(contents));
    unit.sim.Stop();
    ASSERT_TRUE(unit.sim.ServeTcp(0));
    QString problem;
    ASSERT_TRUE(Add(*TcpAddress(QStringLiteral("127.0.0.1"), QString::number(unit.sim.TcpPort()), &problem)))
        << LastMessage().toStdString();

    EXPECT_EQ(
        Value(QStringLiteral("SELECT SyI_Used || '/' || SyI_Commport || '/' || SyI_Locationnumber || '/' || "
                             "SyI_EventsTable_Lastpagesn || '/' || SyI_EventsTable_Pagebyteswritt || '/' || "
                             "SyI_EventsTable_LastrecSN FROM Systems_Info"))
            .toString(),
        QStringLiteral("1/0/4/12/264/345"));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info")), 20);
    EXPECT_EQ(Count(QStringLiteral("SELECT SUM(SeI_RecordsTable_Lastpagesn) FROM Sensors_Info")), 210);
    EXPECT_EQ(
        Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info WHERE SeI_RecordsTable_LastrecSN=99 AND "
                             "SeI_RecordsTable_Pagebyteswrit=44")),
        20);
    EXPECT_EQ(Count(QStringLiteral("SELECT SeI_Used FROM Sensors_Info WHERE SeI_Sensornumber=1")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Powermonitoring_Info")), 4);
}

TEST_P(Addition, ConflictsAreRefusedWithoutWriting)
{
    SimUnit& first =
        ServePty(QStringLiteral("A-1"), 5, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ASSERT_TRUE(Add(first.address));
    const QStringList before = UnitTables();
    first.sim.ResetArrivals();

    // The same serial port again: refused before a word is sent.
    EXPECT_FALSE(Add(first.address));
    EXPECT_EQ(LastMessage(), QStringLiteral("Η θύρα COM5 χρησιμοποιείται ήδη από το σύστημα A-1 !"));
    EXPECT_EQ(first.sim.Arrivals(CmdIdentify), 0);

    // The same unit reached another way: refused once it has told its serial number.
    SimUnit& twin =
        ServeTcp(QStringLiteral("A-1"), QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    EXPECT_FALSE(Add(twin.address));
    EXPECT_EQ(LastMessage(), QStringLiteral("Το σύστημα με σειριακό αριθμό A-1 υπάρχει ήδη στη λίστα !"));
    EXPECT_EQ(twin.sim.Arrivals(CmdReadSettingsBlock), 0);

    // A TCP address already listed, written differently; another host's same port is no conflict.
    SimUnit& other =
        ServeTcp(QStringLiteral("B-2"), QStringLiteral("TELVARON-2"), DefaultImageContents(false, 8, 2));
    ASSERT_TRUE(
        Db().Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Commport, "
                                 "SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber) "
                                 "VALUES ('F-6', 1, 0, ?, 'TELVARON-2', '1', '1', 6)"),
                  {QStringLiteral("127.0.0.2:%1-115200").arg(other.sim.TcpPort())}));
    ASSERT_TRUE(Add(other.address)) << LastMessage().toStdString();
    const QStringList withOther = UnitTables();
    QString problem;
    EXPECT_FALSE(
        Add(*TcpAddress(QStringLiteral(" 127.0.0.1 "), QString::number(other.sim.TcpPort()), &problem)));
    EXPECT_TRUE(LastMessage().contains(QStringLiteral("χρησιμοποιείται ήδη από το σύστημα B-2")));
    EXPECT_EQ(UnitTables(), withOther);
    EXPECT_EQ(withOther.size(), before.size() + 2 + 8 + 2);
}

// Cancelling the code prompt stops the addition unsaid, before anything more is read.
TEST_P(Addition, WrongCodesSilentBusyOrUnsoundUnitsWriteNothing)
{
    SimUnit& unit =
        ServePty(QStringLiteral("D-4"), 6, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ImageContents zeroNumber = DefaultImageContents(true, 20, 1);
    zeroNumber.systemNumber = 0;
    ImageContents analogTypeOnDigitalRow = DefaultImageContents(true, 20, 1);
    analogTypeOnDigitalRow.sensors[3].type = 5;
    const struct
    {
        const char* what;
        std::function<void()> arrange;
        QString message;
        std::optional<QString> code = QStringLiteral("1234");
    } cases[] = {
        {"a wrong security code", [] {}, QStringLiteral("Λάθος κωδικός ασφαλείας !"), QStringLiteral("4321")},
        {"the code withheld", [] {}, QString(), std::nullopt},
        {"silent", [&] { unit.SetMode(unitsim::UnitMode::Silent); }, LinkFailureText(LinkNoAnswer)},
        {"busy in its menu", [&] { unit.SetMode(unitsim::UnitMode::MenuBusy); },
         LinkFailureText(LinkMenuBusy)},
        {"a block fails its check",
         [&] { unit.sim.SetFault(CmdReadSettingsBlock, unitsim::kEveryArrival, unitsim::Fault::BadCheck()); },
         LinkFailureText(LinkFailure)},
        {"system number 0", [&] { unit.memory.SetImage(unitsim::BuildSettingsImage(zeroNumber)); },
         QStringLiteral("Οι ρυθμίσεις του συστήματος δεν είναι έγκυρες. Μη έγκυρος αριθμός συστήματος (0).")},
        {"analog type on a digital row",
         [&] { unit.memory.SetImage(unitsim::BuildSettingsImage(analogTypeOnDigitalRow)); },
         QStringLiteral(
             "Οι ρυθμίσεις του συστήματος δεν είναι έγκυρες. Μη έγκυρος τύπος (5) στο αισθητήριο 4.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        unit.SetMode(unitsim::UnitMode::Normal);
        unit.memory.SetImage(unitsim::BuildSettingsImage(DefaultImageContents(true, 20, 1)));
        prompter_.messages.clear();
        unit.sim.ResetArrivals();
        c.arrange();
        EXPECT_FALSE(Add(unit.address, c.code));
        EXPECT_EQ(LastMessage(), c.message);
        if (!c.code) {
            EXPECT_EQ(unit.sim.Arrivals(CmdReadModel) + unit.sim.Arrivals(CmdReadSettingsBlock), 0);
        }
        EXPECT_TRUE(UnitTables().isEmpty());
    }
}

TEST_P(Addition, ADatabaseFailureLeavesNoHalfOfTheRows)
{
    SimUnit& unit =
        ServePty(QStringLiteral("E-5"), 7, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ASSERT_TRUE(Db().Exec(QStringLiteral("DROP TABLE Powermonitoring_Info")));
    EXPECT_FALSE(Add(unit.address));
    EXPECT_TRUE(LastMessage().startsWith(QStringLiteral("Σφάλμα εγγραφής στη βάση δεδομένων.")));
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info")), 0);
}

TEST_P(Addition, EmptyAndLongestTextsAreStoredWhole)
{
    ASSERT_EQ(LongestName().size(), 205);
    const struct
    {
        const char* what;
        QString serial;
        int com;
        QString version;
        QByteArray nameBytes;
        QString name;
    } cases[] = {
        {"empty", QStringLiteral("E-1"), 8, QStringLiteral(""), QByteArray(), QStringLiteral("")},
        {"longest", QStringLiteral("SN-0123456789AB"), 9, QStringLiteral("1.2.3.4"), kLongestNameBytes,
         LongestName()},
        {"word number 0", QStringLiteral("W-0"), 10, QStringLiteral("1.0"), kWordZeroNameBytes,
         kWordZeroName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimUnit& unit =
            ServePty(c.serial, c.com, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
        unit.model.Update([&](unitsim::UnitState& s) {
            s.identity.softwareVersion = c.version;
            s.identity.hardwareVersion = c.version;
        });
        unit.memory.SetImage(ImageWithNames(c.nameBytes));
        ASSERT_TRUE(Add(unit.address)) << LastMessage().toStdString();
        // Compared in SQL: a Null would match nothing.
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Serialnumber=? AND "
                                       "SyI_Softver=? AND SyI_Hardver=? AND SyI_Systemname=?"),
                        {c.serial, c.version, c.version, c.name}),
                  1);
        EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info WHERE SeI_SyI_Serialnumber=? AND "
                                       "SeI_Sensornumber=1 AND SeI_Sensorname=?"),
                        {c.serial, c.name}),
                  1);
    }
}

INSTANTIATE_BOTH_DRIVERS(Addition);

} // namespace
