#include <link/address_part.h>
#include <shell/db_error_explanation.h>
#include <ui/systems_grid.h>

#include <QTableWidget>

#include <gtest/gtest.h>

TEST(DbErrorExplanation, HeadThenCausesChosenByTheCode)
{
    QString text = QStringLiteral("left over");
    DbErrorExplanation(text, 12505, QStringLiteral("ORA-12505: no such database"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Παρουσιάστηκε το παρακάτω σφάλμα:\r\nError number: 12505\r\n"
                                               "Error description: ORA-12505: no such database\r\n\r\n"
                                               "Πιθανά αίτια και προτεινόμενες λύσεις:\r\n"
                                               "1. Έχετε καθορίσει λανθασμένο όνομα βάσης")))
        << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 7);
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n2. ")) && text.contains(QStringLiteral("\r\n3. ")));

    struct Case
    {
        const char* description;
        int causes;
        const char* first;
    };
    const Case cases[] = {
        {"ORA-12170: timeout", 3, "1. Η σύνδεση του διακομιστή"},
        {"ORA-12545: unknown host", 3, "1. Η σύνδεση του Η/Υ σας"},
        {"ORA-01017: password", 1, "1. Το όνομα ή/και ο κωδικός"},
        {"ORA-99999: other", 1, "- Άγνωστο σφάλμα. Επικοινωνήστε με τους υπεύθυνους"},
        {"unable to open database file", 1, "- Άγνωστο σφάλμα. Επικοινωνήστε με την εταιρία"},
        {"", 1, "- Άγνωστο σφάλμα. Επικοινωνήστε με την εταιρία"},
    };
    for (const Case& c : cases) {
        DbErrorExplanation(text, 1, QString::fromUtf8(c.description));
        const QString causes = text.section(QStringLiteral("λύσεις:\r\n"), 1);
        EXPECT_EQ(causes.split(QStringLiteral("\r\n")).size(), c.causes) << c.description;
        EXPECT_TRUE(causes.startsWith(QString::fromUtf8(c.first))) << c.description;
    }
}

TEST(AddressPart, SplitsHostPortAndSpeed)
{
    struct Case
    {
        const char* address;
        const char* parts[3];
    };
    const Case cases[] = {
        {"192.168.1.20:4001-115200", {"192.168.1.20", "4001", "115200"}},
        {"5-115200", {"", "5", "115200"}},
        {"host:-115200", {"host", "", "115200"}},
        {"no-dash-here:7", {"no-dash-here", "", "here:7"}},
        {"plain", {"", "", "plain"}},
        {"", {"", "", ""}},
    };
    for (const Case& c : cases)
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(AddressPart(QString::fromUtf8(c.address), p), QString::fromUtf8(c.parts[p]))
                << c.address << " part " << p;
}

TEST(SysinfoGrid, RowRuleAndFormat)
{
    SystemInfo serial{"SN1", "TELVARON-1E", "1.0", "2.0", 1, "3-115200", 12, QVariant()};
    EXPECT_EQ(SysinfoGridRow(serial),
              (QStringList{"SN1", "TELVARON-1E", "1.0", "2.0", "COM3", "115200", "12", "Ανώνυμο σύστημα"}));
    SystemInfo tcp{"SN2", "TELVARON-2", "a", "b", 0, "127.0.0.1:4001-115200", 3, QStringLiteral("Αποθήκη")};
    EXPECT_EQ(SysinfoGridRow(tcp),
              (QStringList{"SN2", "TELVARON-2", "a", "b", "127.0.0.1:4001", "115200", "3", "Αποθήκη"}));
    tcp.systemName = QString("");
    EXPECT_EQ(SysinfoGridRow(tcp)[7], QStringLiteral("Ανώνυμο σύστημα"));

    // Trailing blanks of a header widen its column.
    QTableWidget grid;
    ApplyGridFormat(grid, kSysinfoGridFormat);
    EXPECT_GT(grid.columnWidth(4), grid.columnWidth(2));
}
