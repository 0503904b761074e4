#include "systems_fixture.h"

#include <command_line_prompter.h>
#include <unit_listing.h>

#include <db/database.h>

#include <gtest/gtest.h>

namespace {
using unitsim::DefaultImageContents;

// The listing of a unit from the command line, as scripts/run does at every start.
class Listing : public SystemsFixture
{
protected:
    ListingResult List(const UnitAddress& address, const QString& code)
    {
        CommandLinePrompter typed(code, out_);
        const ListingResult result = ListUnit(Db(), *link_, typed, address);
        out_.flush();
        return result;
    }

    QString told_;
    QTextStream out_{&told_};
};

TEST_P(Listing, AUnitListedAlreadyIsLeftAsItIs)
{
    SimUnit& unit = ServePty(QStringLiteral("TV1-000101"), 1, QStringLiteral("TELVARON-1E"),
                             DefaultImageContents(true, 20, 1));
    ASSERT_EQ(List(unit.address, QStringLiteral("1234")), ListingResult::Added) << told_.toStdString();
    EXPECT_TRUE(told_.contains(QStringLiteral("Το σύστημα TV1-000101 (TELVARON-1E) προστέθηκε.")));
    const QStringList before = AllTables();

    // On its own line, which the addition would refuse as taken, and reached another way.
    told_.clear();
    EXPECT_EQ(List(unit.address, QStringLiteral("1234")), ListingResult::AlreadyListed)
        << told_.toStdString();
    EXPECT_EQ(told_, QStringLiteral("Το σύστημα με σειριακό αριθμό TV1-000101 υπάρχει ήδη στη λίστα.\n"));
    SimUnit& twin = ServeTcp(QStringLiteral("TV1-000101"), QStringLiteral("TELVARON-1E"),
                             DefaultImageContents(true, 20, 1));
    EXPECT_EQ(List(twin.address, QStringLiteral("9999")), ListingResult::AlreadyListed);
    EXPECT_EQ(AllTables(), before);
}

TEST_P(Listing, AWrongCodeOrATakenLineIsRefusedWithNothingWritten)
{
    SimUnit& unit = ServeTcp(QStringLiteral("TV2-000202"), QStringLiteral("TELVARON-2"),
                             DefaultImageContents(false, 8, 2));
    const QStringList empty = AllTables();
    EXPECT_EQ(List(unit.address, QStringLiteral("12345")), ListingResult::Refused);
    EXPECT_EQ(told_, QStringLiteral("Λάθος κωδικός ασφαλείας !\n"));
    EXPECT_EQ(AllTables(), empty);

    // Another unit on the line of a listed one.
    SimUnit& listed =
        ServePty(QStringLiteral("A-1"), 2, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ASSERT_EQ(List(listed.address, QStringLiteral("1234")), ListingResult::Added) << told_.toStdString();
    const QStringList withListed = AllTables();
    listed.model.Update([](unitsim::UnitState& s) { s.identity.serialNumber = QStringLiteral("B-2"); });
    told_.clear();
    EXPECT_EQ(List(listed.address, QStringLiteral("1234")), ListingResult::Refused);
    EXPECT_EQ(told_, QStringLiteral("Η θύρα COM2 χρησιμοποιείται ήδη από το σύστημα A-1 !\n"));
    EXPECT_EQ(AllTables(), withListed);
}

INSTANTIATE_BOTH_DRIVERS(Listing);

TEST(ListingAddress, IsACommPortOrAnIpAddressAndPort)
{
    const struct
    {
        const char* text;
        const char* display; // empty: refused
    } cases[] = {
        {"COM1", "COM1"},
        {"com16", "COM16"},
        {"COM0", ""},
        {"COM17", ""},
        {"COMx", ""},
        {"127.0.0.1:4001", "127.0.0.1:4001"},
        {"10.0.0.007:80", "10.0.0.7:80"},
        {"127.0.0.1:0", ""},
        {"localhost:4001", ""},
        {"127.0.0.1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        QString problem;
        const auto address = UnitAddressFromText(QString::fromLatin1(c.text), &problem);
        EXPECT_EQ(address ? address->Display() : QString(), QString::fromLatin1(c.display));
        EXPECT_EQ(problem.isEmpty(), address.has_value());
    }
}
} // namespace
