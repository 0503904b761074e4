#include "db_error_explanation.h"

#include <QHash>
#include <QStringList>

namespace {
const QString kCrLf = QStringLiteral("\r\n");

const QString A1 =
    QStringLiteral("1. Η σύνδεση του διακομιστή με το δίκτυο δεν είναι διαθέσιμη ή ο διακομιστής δεν "
                   "λειτουργεί. Βεβαιωθείτε ότι "
                   "ο διακομιστής βρίσκεται σε λειτουργία και η σύνδεση του με το δίκτυο είναι διαθέσιμη.");
const QString A2 =
    QStringLiteral("2. Έχετε καθορίσει λανθασμένη IP διακομιστή. Ελέγξτε τις παραμέτρους τις εφαρμογής.");
const QString A3 =
    QStringLiteral("3. Έχετε καθορίσει λανθασμένο PORT διακομιστή. Ελέγξτε τις παραμέτρους τις εφαρμογής.");
const QString B1 = QStringLiteral("1. Η σύνδεση του Η/Υ σας με το δίκτυο δεν είναι διαθέσιμη. Τερματίστε την "
                                  "εφαρμογή, επαναφέρετε τη σύνδεση "
                                  "του Η/Υ με το δίκτυο και στη συνέχεια εκτελέσετε και πάλι την εφαρμογή.");
const QString C1 =
    QStringLiteral("1. Έχετε καθορίσει λανθασμένο όνομα βάσης δεδομένων διακομιστή (data source). "
                   "Ελέγξτε τις παραμέτρους τις εφαρμογής.");
const QString C2 = QStringLiteral("2. Η βάση δεδομένων του διακομιστή βρίσκεται σε διαδικασία εκκίνησης. "
                                  "Τερματίστε την εφαρμογή και περιμένετε "
                                  "μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString C3 = QStringLiteral(
    "3. Η βάση δεδομένων του διακομιστή δεν λειτουργεί. Τερματίστε την εφαρμογή και περιμένετε μερικά λεπτά "
    "πριν "
    "εκτελέσετε και πάλι την εφαρμογή. Εάν το πρόβλημα παραμένει, ενδέχεται ο διακομιστής να χρειάζεται "
    "επανεκκίνηση.");
const QString D1 = QStringLiteral(
    "1. Το όνομα ή/και ο κωδικός χρήστη για τη βάση δεδομένων του διακομιστή δεν είναι σωστά. Τερματίστε την "
    "εφαρμογή και επικοινωνήστε με το υπεύθυνο διαχείρισης της βάσης δεδομένων.");
const QString E1 = QStringLiteral(
    "1. Η βάση δεδομένων του διακομιστή δεν λειτουργεί. Τερματίστε την εφαρμογή και περιμένετε μερικά λεπτά "
    "πριν "
    "εκτελέσετε και πάλι την εφαρμογή. Εάν το πρόβλημα παραμένει, ενδέχεται ο διακομιστής να χρειάζεται "
    "επανεκκίνηση.");
const QString F1 = QStringLiteral(
    "1. Η βάση δεδομένων του διακομιστή βρίσκεται σε διαδικασία τερματισμού. Τερματίστε την εφαρμογή και "
    "περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString G1 = QStringLiteral(
    "1. Η βάση δεδομένων του διακομιστή βρίσκεται σε διαδικασία εκκίνησης. Τερματίστε την εφαρμογή και "
    "περιμένετε μερικά λεπτά πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString H1 = QStringLiteral(
    "1. Ο διακομιστής ή/και ο Η/Υ σας αποσυνδέθηκε από το δίκτυο. Τερματίστε την εφαρμογή και επαναφέρεται "
    "τη "
    "σύνδεση του διακομιστή ή/και του Η/Υ σας με το δίκτυο πριν εκτελέσετε και πάλι την εφαρμογή.");
const QString X1 = QStringLiteral(
    "- Άγνωστο σφάλμα. Επικοινωνήστε με τους υπεύθυνους διαχείρισης δικτύου και βάσης δεδομένων.");
const QString kNotServer =
    QStringLiteral("- Άγνωστο σφάλμα. Επικοινωνήστε με την εταιρία που σας προμήθευσε την εφαρμογή.");

QStringList CausesOf(const QString& code)
{
    static const QHash<QString, QStringList> causes = {
        {QStringLiteral("12170"), {A1, A2, A3}}, {QStringLiteral("12560"), {B1}},
        {QStringLiteral("12545"), {B1, A2, A3}}, {QStringLiteral("12505"), {C1, C2, C3}},
        {QStringLiteral("01017"), {D1}},         {QStringLiteral("12541"), {E1}},
        {QStringLiteral("01089"), {F1}},         {QStringLiteral("12528"), {G1}},
        {QStringLiteral("03135"), {H1}},
    };
    return causes.value(code, {X1});
}
} // namespace

void DbErrorExplanation(QString& text, long number, const QString& description)
{
    text = QStringLiteral("Παρουσιάστηκε το παρακάτω σφάλμα:") + kCrLf + QStringLiteral("Error number: ") +
           QString::number(number) + kCrLf + QStringLiteral("Error description: ") + description + kCrLf +
           kCrLf + QStringLiteral("Πιθανά αίτια και προτεινόμενες λύσεις:") + kCrLf;
    if (description.startsWith(QLatin1String("ORA")))
        text += CausesOf(description.mid(4, 5)).join(kCrLf);
    else
        text += kNotServer;
}
