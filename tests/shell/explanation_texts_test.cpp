#include <shell/db_error_explanation.h>

#include <QStringList>

#include <gtest/gtest.h>

namespace {
// The operator's explanations, word for word.
const QString A1 = QStringLiteral(
    "1. Η σύνδεση του διακομιστή με το δίκτυο δεν είναι διαθέσιμη ή ο διακομιστής δεν λειτουργεί. "
    "Βεβαιωθείτε ότι ο διακομιστής βρίσκεται σε λειτουργία και η σύνδεση του με το δίκτυο είναι διαθέσιμη.");
const QString A2 =
    QStringLiteral("2. Έχετε καθορίσει λανθασμένη IP διακομιστή. Ελέγξτε τις παραμέτρους τις εφαρμογής.");
const QString A3 =
    QStringLiteral("3. Έχετε καθορίσει λανθασμένο PORT διακομιστή. Ελέγξτε τις παραμέτρους τις εφαρμογής.");
const QString B1 = QStringLiteral(
    "1. Η σύνδεση του Η/Υ σας με το δίκτυο δεν είναι διαθέσιμη. Τερματίστε την εφαρμογή, επαναφέρετε τη "
    "σύνδεση του Η/Υ με το δίκτυο και στη συνέχεια εκτελέσετε και πάλι την εφαρμογή.");
const QString C1 = QStringLiteral("1. Έχετε καθορίσει λανθασμένο όνομα βάσης δεδομένων διακομιστή (data "
                                  "source). Ελέγξτε τις παραμέτρους τις εφαρμογής.");
const QString C2 =
    QStringLiteral("2. Η βάση δεδομένων του διακομιστή βρίσκεται σε διαδικασία εκκίνησης. Τερματίστε την "
                   "εφαρμογή και περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString C3 =
    QStringLiteral("3. Η βάση δεδομένων του διακομιστή δεν λειτουργεί. Τερματίστε την εφαρμογή και "
                   "περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή. Εάν το πρόβλημα "
                   "παραμένει, ενδέχεται ο διακομιστής να χρειάζεται επανεκκίνηση.");
const QString D1 = QStringLiteral(
    "1. Το όνομα ή/και ο κωδικός χρήστη για τη βάση δεδομένων του διακομιστή δεν είναι σωστά. Τερματίστε την "
    "εφαρμογή και επικοινωνήστε με το υπεύθυνο διαχείρισης της βάσης δεδομένων.");
const QString E1 =
    QStringLiteral("1. Η βάση δεδομένων του διακομιστή δεν λειτουργεί. Τερματίστε την εφαρμογή και "
                   "περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή. Εάν το πρόβλημα "
                   "παραμένει, ενδέχεται ο διακομιστής να χρειάζεται επανεκκίνηση.");
const QString F1 =
    QStringLiteral("1. Η βάση δεδομένων του διακομιστή βρίσκεται σε διαδικασία τερματισμού. Τερματίστε την "
                   "εφαρμογή και περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString G1 =
    QStringLiteral("1. Η βάση δεδομένων του διακομιστή βρίσκεται σε διαδικασία εκκίνησης. Τερματίστε την "
                   "εφαρμογή και περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString H1 = QStringLiteral(
    "1. Ο διακομιστής ή/και ο Η/Υ σας αποσυνδέθηκε από το δίκτυο. Τερματίστε την εφαρμογή και επαναφέρεται "
    "τη σύνδεση του διακομιστή ή/και του Η/Υ σας με το δίκτυο πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString X1 = QStringLiteral(
    "- Άγνωστο σφάλμα. Επικοινωνήστε με τους υπεύθυνους διαχείρισης δικτύου και βάσης δεδομένων.");
const QString kNotServer =
    QStringLiteral("- Άγνωστο σφάλμα. Επικοινωνήστε με την εταιρία που σας προμήθευσε την εφαρμογή.");
} // namespace

TEST(DbErrorExplanation, EachServerCodeGivesItsCausesWordForWord)
{
    // A failed PostgreSQL connection is described by the code whose causes fit it.
    const struct
    {
        long number;
        const char* description;
        QStringList causes;
    } cases[] = {
        {12170, "ORA-12170: timeout expired", {A1, A2, A3}},
        {12560, "ORA-12560: Network is unreachable", {B1}},
        {12545, "ORA-12545: could not translate host name", {B1, A2, A3}},
        {12505, "ORA-12505: database \"tl\" does not exist", {C1, C2, C3}},
        {1017, "ORA-01017: password authentication failed for user \"telvaron\"", {D1}},
        {12541, "ORA-12541: Connection refused", {E1}},
        {1089, "ORA-01089: the database system is shutting down", {F1}},
        {12528, "ORA-12528: the database system is starting up", {G1}},
        {3135, "ORA-03135: server closed the connection unexpectedly", {H1}},
        {12154, "ORA-12154: anything else", {X1}},
        {-1, "unable to open database file", {kNotServer}},
    };
    for (const auto& c : cases) {
        const QString description = QString::fromUtf8(c.description);
        QString text;
        DbErrorExplanation(text, c.number, description);
        EXPECT_EQ(text.toStdString(),
                  (QStringLiteral("Παρουσιάστηκε το παρακάτω σφάλμα:\r\nError number: ") +
                   QString::number(c.number) + QStringLiteral("\r\nError description: ") + description +
                   QStringLiteral("\r\n\r\nΠιθανά αίτια και προτεινόμενες λύσεις:\r\n") +
                   c.causes.join(QStringLiteral("\r\n")))
                      .toStdString());
    }
}
