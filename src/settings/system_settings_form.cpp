#include "system_settings_form.h"

#include "name_input_form.h"
#include "name_label.h"
#include "settings_form_fill.h"
#include "toggle_tag.h"

#include <ui/button_row.h>
#include <ui/prompter.h>
#include <unit/settings_image_layout.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kYes = QStringLiteral("Ναι");
const QString kNo = QStringLiteral("Όχι");
const QString kActive = QStringLiteral("Ενεργό");
const QString kInactive = QStringLiteral("Ανενεργό");

// A box that takes at most maxTyped typed characters; text set by code is kept whole.
QLineEdit* Box(QWidget* parent, const QString& text = {}, int maxTyped = 0)
{
    auto* box = new QLineEdit(text, parent);
    if (maxTyped > 0)
        box->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral(".{0,%1}").arg(maxTyped)), box));
    return box;
}

// A list never narrower than its longest item, however little room its page has.
void FitToLongestItem(QComboBox* list)
{
    const QFontMetrics metrics(list->font());
    int longest = 0;
    for (int k = 0; k < list->count(); ++k)
        longest = std::max(longest, metrics.horizontalAdvance(list->itemText(k)));
    QStyleOptionComboBox option;
    option.initFrom(list);
    list->setMinimumWidth(
        list->style()
            ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(longest, metrics.height()), list)
            .width());
}

// Appends items with nothing selected afterwards: a list selects only when told to.
void AppendItems(QComboBox* list, const QStringList& items)
{
    const QSignalBlocker quiet(list);
    const int selected = list->currentIndex();
    list->addItems(items);
    list->setCurrentIndex(selected);
    FitToLongestItem(list);
}

void AppendItem(QComboBox* list, const QString& text, int data)
{
    AppendItems(list, {text});
    list->setItemData(list->count() - 1, data);
}

QStringList TwoDigits(int count)
{
    QStringList items{QString()};
    for (int n = 0; n < count; ++n)
        items << QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    return items;
}

QLabel* Heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    // Wrapped headings fill their columns: a margin keeps neighbours apart.
    label->setContentsMargins(2, 0, 2, 0);
    return label;
}

void Select(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

// A toggle as narrow as its longer caption allows: the style's least width for a push button
// with text is wider than "Ναι" or "Όχι" need, and the sensor page has many of them in a row.
void FitToCaptions(QPushButton* button, const QStringList& captions)
{
    int longest = 0;
    for (const QString& caption : captions)
        longest = std::max(longest, button->fontMetrics().horizontalAdvance(caption));
    const QStyle* style = button->style();
    button->setMinimumWidth(longest +
                            2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                                 style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button)));
}

// A page that scrolls when the dialog is smaller than the page, and asks for the page's whole
// size otherwise (a plain scroll area asks for a few dozen characters only).
class PageScroll : public QScrollArea
{
public:
    explicit PageScroll(QWidget* page)
    {
        setWidget(page);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
    }

    QSize sizeHint() const override
    {
        const QWidget* page = widget();
        QSize whole = page->sizeHint();
        // Wrapped headings take more lines as the page narrows: the height at its least width.
        if (page->hasHeightForWidth())
            whole.setHeight(std::max(whole.height(), page->heightForWidth(page->minimumSizeHint().width())));
        return whole + QSize(2 * frameWidth(), 2 * frameWidth());
    }
};

// What a window manager's frame adds round a dialog, as Qt's own dialog placement reckons it.
const QSize kFrameAllowance(10, 40);

} // namespace

SystemSettingsFrm::SystemSettingsFrm(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter)
{
    setWindowTitle(QStringLiteral("Προγραμματισμός TELVARON"));
    SSTab1 = new QTabWidget(this);
    // On a narrow screen the captions are shortened rather than a tab pushed out of sight.
    SSTab1->setElideMode(Qt::ElideRight);
    SSTab1->addTab(new PageScroll(BuildNotificationPage()), QStringLiteral("Τηλεφωνική Ειδοποίηση"));
    SSTab1->addTab(new PageScroll(BuildIdentityPage()), QStringLiteral("Αναγνωριστικά Συστήματος"));
    SSTab1->addTab(new PageScroll(BuildCodesPage()), QStringLiteral("Κωδικοί Συστήματος"));
    SSTab1->addTab(new PageScroll(BuildSensorPage()), QStringLiteral("Ρυθμίσεις Αισθητηρίων"));
    SSTab1->addTab(new PageScroll(BuildClockPage()), QStringLiteral("Ημερομηνία και Ώρα"));
    SSTab1->addTab(new PageScroll(BuildMainsPage()), QStringLiteral("Ρυθμίσεις Δικτύου Ρεύματος"));
    SSTab1->setCurrentIndex(3);

    Command1 = new QPushButton(QStringLiteral("ΟΚ"), this);
    Command2 = new QPushButton(QStringLiteral("Άκυρο"), this);
    connect(Command1, &QPushButton::clicked, this, &SystemSettingsFrm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    // OK leads to an upload to the unit, so a Return typed in a box must not set it off.
    layout->addLayout(ButtonRow(this, Command1, Command2, ReturnKey::Nothing));
    FitInto(screen()->availableGeometry());
}

void SystemSettingsFrm::FitInto(const QRect& room)
{
    resize(sizeHint().boundedTo(room.size() - kFrameAllowance));
}

QWidget* SystemSettingsFrm::BuildNotificationPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Τηλέφωνα Ειδοποίησης :"), page), 0, 0, 1, 2);
    for (int k = 0; k < 4; ++k) {
        grid->addWidget(new QLabel(QString::number(k + 1), page), k + 1, 0);
        Text1[k] = Box(page);
        grid->addWidget(Text1[k], k + 1, 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("Αριθμός Χτύπων Τηλεφώνου :"), page), 5, 0, 1, 2);
    Combo3 = new QComboBox(page);
    QStringList rings;
    for (int n = 2; n <= 15; ++n)
        rings << QString::number(n);
    AppendItems(Combo3, rings);
    Combo3->setCurrentIndex(0);
    grid->addWidget(Combo3, 6, 1);

    auto* schedule = new QGridLayout;
    schedule->addWidget(new QLabel(QStringLiteral("Ωράριο Αυτόματης Τηλεφωνικής Ειδοποίησης :"), page), 0, 0,
                        1, 6);
    const QString columns[] = {QStringLiteral("Ώρες"), QStringLiteral("Λεπτά"), QStringLiteral("Ώρες"),
                               QStringLiteral("Λεπτά")};
    for (int c = 0; c < 4; ++c)
        schedule->addWidget(Heading(columns[c], page), 1, c + 2);
    const QString days[] = {QStringLiteral("Κυριακή"), QStringLiteral("Δευτέρα"), QStringLiteral("Τρίτη"),
                            QStringLiteral("Τετάρτη"), QStringLiteral("Πέμπτη"),  QStringLiteral("Παρασκευή"),
                            QStringLiteral("Σάββατο")};
    for (int p = 0; p < kSchedulePeriods; ++p) {
        const int line = p + 2;
        if (p % 2 == 0)
            schedule->addWidget(new QLabel(days[p / 2], page), line, 0);
        schedule->addWidget(
            new QLabel(p % 2 == 0 ? QStringLiteral("1η Περίοδος:") : QStringLiteral("2η Περίοδος:"), page),
            line, 1);
        const std::array<QComboBox**, 4> lists{&Combo6[p], &Combo7[p], &Combo8[p], &Combo9[p]};
        for (int c = 0; c < 4; ++c) {
            *lists[c] = new QComboBox(page);
            AppendItems(*lists[c], TwoDigits(c % 2 == 0 ? 24 : 60));
            schedule->addWidget(*lists[c], line, c + 2);
        }
    }
    schedule->setHorizontalSpacing(12);
    schedule->setRowStretch(kSchedulePeriods + 2, 1);
    grid->addLayout(schedule, 0, 2, 8, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(7, 1);
    return page;
}

QWidget* SystemSettingsFrm::BuildIdentityPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Αριθμός Συστήματος :"), page), 0, 0);
    Text14 = Box(page, QStringLiteral("1"), 3);
    grid->addWidget(Text14, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Όνομα Συστήματος :"), page), 2, 0);
    Label66 = new NameLabel(page);
    connect(Label66, &NameLabel::DoubleClicked, this,
            [this] { ComposeName(Label66, QStringLiteral("Όνομα Συστήματος")); });
    grid->addWidget(Label66, 3, 0);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

QWidget* SystemSettingsFrm::BuildCodesPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const QString captions[] = {
        QStringLiteral("Κωδικός Εισόδου :"), QStringLiteral("Επιβεβαίωση Κωδικού Εισόδου :"),
        QStringLiteral("Κωδικός Ασφαλείας :"), QStringLiteral("Επιβεβαίωση Κωδικού Ασφαλείας :")};
    for (int i = 0; i < 4; ++i) {
        QLineEdit* box = Box(page, {}, 8);
        box->setEchoMode(QLineEdit::Password);
        (i < 2 ? Text15 : Text16)[std::size_t(i % 2)] = box;
        grid->addWidget(new QLabel(captions[i], page), i, 0);
        grid->addWidget(box, i, 1);
    }
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(2, 1);
    return page;
}

QWidget* SystemSettingsFrm::BuildSensorPage()
{
    auto* inner = new QWidget;
    auto* grid = new QGridLayout(inner);
    // Fifteen columns: kept close so that a 1280 pixel wide screen shows them all.
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(4);
    // Every heading stands over its column on both heading lines, but the event logging
    // heading, which stands over its two columns "Εντός" and "Εκτός".
    const char* headings[] = {"",
                              "Όνομα Σημείου",
                              "Τύπος",
                              "Μέγιστο Όριο",
                              "Ελάχιστο Όριο",
                              "Ρυθμός Καταγραφής",
                              "Απόκλιση",
                              "Υστέριση Ορίων",
                              "Καθυστέρηση Εκτός Ορίων",
                              nullptr,
                              nullptr,
                              "Δημιουργία Μηνυμάτων",
                              "Ένδειξη 4mA",
                              "Ένδειξη 20mA",
                              "Ενεργό"};
    for (int c = 0; c < int(std::size(headings)); ++c)
        if (headings[c])
            grid->addWidget(Heading(QString::fromUtf8(headings[c]), inner), 0, c, 2, 1);
    constexpr int kLogWithinColumn = 9;
    Label37 = Heading(QStringLiteral("Καταγραφή Συμβάντων"), inner);
    Label41 = Heading(QStringLiteral("Εντός"), inner);
    Label42 = Heading(QStringLiteral("Εκτός"), inner);
    grid->addWidget(Label37, 0, kLogWithinColumn, 1, 2);
    grid->addWidget(Label41, 1, kLogWithinColumn);
    grid->addWidget(Label42, 1, kLogWithinColumn + 1);
    constexpr int kFirstRowLine = 2;
    for (int i = 0; i < kSensorRows; ++i) {
        const int line = kFirstRowLine + i;
        Label8[i] = new QLabel(QStringLiteral("Αισθητήριο %1").arg(i + 1), inner);
        Label8[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        Label44[i] = new NameLabel(inner);
        // Room for a word and a number; a longer name shows whole in its tool tip.
        Label44[i]->setMinimumWidth(140);
        connect(Label44[i], &NameLabel::DoubleClicked, this,
                [this, i] { ComposeName(Label44[i], QStringLiteral("Όνομα Αισθητηρίου %1").arg(i + 1)); });
        Combo1[i] = new QComboBox(inner);
        connect(Combo1[i], &QComboBox::currentIndexChanged, this, [this, i] { Combo1_Click(i); });
        Combo2[i] = new QComboBox(inner);
        Combo2[i]->hide();
        Text2[i] = Box(inner);
        Text3[i] = Box(inner);
        Text4[i] = Box(inner, QStringLiteral("15"));
        Text5[i] = Box(inner, QStringLiteral("0"));
        Text6[i] = Box(inner, QStringLiteral("0.5"));
        Text7[i] = Box(inner, QStringLiteral("60"));
        Text8[i] = Box(inner, QStringLiteral("0"));
        Text9[i] = Box(inner, QStringLiteral("100"));
        Text8[i]->setEnabled(i >= 10);
        Text9[i]->setEnabled(i >= 10);
        for (auto* check : {&Check1[i], &Check3[i], &Check4[i]}) {
            *check = new QPushButton(inner);
            MakeToggleTag(*check, true, kYes, kNo);
            FitToCaptions(*check, {kYes, kNo});
        }
        Check2[i] = new QPushButton(inner);
        MakeToggleTag(Check2[i], false, kActive, kInactive);
        FitToCaptions(Check2[i], {kActive, kInactive});
        QWidget* cells[] = {Label8[i], Label44[i], Combo1[i], Text2[i], Text3[i],
                            Text4[i],  Text5[i],   Text6[i],  Text7[i], Check3[i],
                            Check4[i], Check1[i],  Text8[i],  Text9[i], Check2[i]};
        for (int c = 0; c < int(std::size(cells)); ++c)
            grid->addWidget(cells[c], line, c);
        grid->addWidget(Combo2[i], line, 3, 1, 2);
    }
    auto* foot = new QHBoxLayout;
    foot->setSpacing(12);
    Label43[0] = new QLabel(QStringLiteral("Επιλογέας SG-2"), inner);
    Option1 = new QRadioButton(QStringLiteral("  5 V"), inner);
    Option2 = new QRadioButton(QStringLiteral("12 V"), inner);
    Option1->setChecked(true);
    Label43[1] = new QLabel(QStringLiteral("Διάρκεια παράκαμψης αισθητηρίου (ώρες):"), inner);
    Text10 = Box(inner);
    Text10->setMaximumWidth(60);
    for (QWidget* w : std::initializer_list<QWidget*>{Label43[0], Option1, Option2, Label43[1], Text10})
        foot->addWidget(w);
    foot->addStretch();
    grid->addLayout(foot, kFirstRowLine + kSensorRows, 0, 1, int(std::size(headings)));
    return inner;
}

QWidget* SystemSettingsFrm::BuildClockPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    Check6 = new QCheckBox(QStringLiteral("Αυτόματη ρύθμιση απο το ρολόι του υπολογιστή"), page);
    Combo4 = new QDateEdit(QDate::currentDate(), page);
    // The years the unit's clock can carry.
    Combo4->setDateRange(QDate(2000, 1, 1), QDate(2255, 12, 31));
    Combo5 = new QTimeEdit(QTime::currentTime(), page);
    Combo4->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    Combo5->setDisplayFormat(QStringLiteral("HH:mm"));
    connect(Check6, &QCheckBox::toggled, this, &SystemSettingsFrm::Check6_Click);
    grid->addWidget(new QLabel(QStringLiteral("Ημερομηνία :"), page), 0, 0);
    grid->addWidget(Combo4, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Ώρα :"), page), 1, 0);
    grid->addWidget(Combo5, 1, 1);
    grid->addWidget(Check6, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(2, 1);
    return page;
}

QWidget* SystemSettingsFrm::BuildMainsPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const char* headings[] = {"",
                              "Όνομα Τάσης",
                              "Παρακολούθηση Δικτύου Ρεύματος",
                              "Καθυστέρηση Διακοπής",
                              "Καταγραφή Συμβάντων",
                              "Δημιουργία Μηνυμάτων"};
    for (int c = 0; c < 6; ++c)
        grid->addWidget(Heading(QString::fromUtf8(headings[c]), page), 0, c);
    Label79 = new QLabel(QStringLiteral("Τάση 1"), page);
    Label80 = new QLabel(QStringLiteral("Τάση 2"), page);
    Label81 = new QLabel(QStringLiteral("Τάση 3"), page);
    QLabel* rowLabels[] = {Label79, Label80, Label81};
    for (int k = 0; k < kVoltageRows; ++k) {
        rowLabels[k]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        Label83[k] = new NameLabel(page);
        connect(Label83[k], &NameLabel::DoubleClicked, this,
                [this, k] { ComposeName(Label83[k], QStringLiteral("Όνομα Τάσης %1").arg(k + 1)); });
        grid->addWidget(rowLabels[k], k + 1, 0);
        grid->addWidget(Label83[k], k + 1, 1);
    }
    Combo10 = new QComboBox(page);
    Text13 = Box(page, {}, 4);
    Text13->setMaximumWidth(80);
    grid->addWidget(Combo10, 2, 2);
    grid->addWidget(Text13, 2, 3);
    for (int k = 0; k < 2; ++k) {
        Check5[k] = new QCheckBox(page);
        MakeToggleTag(Check5[k], true, kYes, kNo);
        grid->addWidget(Check5[k], 2, 4 + k);
    }
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(6, 1);
    return page;
}

void SystemSettingsFrm::Combo1_Click(int index)
{
    const int code = Combo1[index]->currentIndex() < 0 ? kNoSelection : Combo1[index]->currentData().toInt();
    const bool deviation = code == 0 || code == 1 || code == 2 || code == 5;
    const bool contact = code == TypeContact || code == TypeContactNormallyOpen;
    const bool current = code == 0 || code == 1 || code == 5;
    Text5[index]->setEnabled(deviation);
    Text6[index]->setEnabled(deviation);
    Text2[index]->setVisible(!contact);
    Text3[index]->setVisible(!contact);
    Combo2[index]->setVisible(contact);
    Text8[index]->setEnabled(current);
    Text9[index]->setEnabled(current);
}

void SystemSettingsFrm::Check6_Click()
{
    const bool fromClock = Check6->isChecked();
    Combo4->setEnabled(!fromClock);
    Combo5->setEnabled(!fromClock);
    if (fromClock) {
        const QDateTime now = QDateTime::currentDateTime();
        Combo4->setDate(now.date());
        Combo5->setTime(now.time());
    }
}

void SystemSettingsFrm::Command1_Click()
{
    if (prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::YesNo, windowTitle(),
                          QStringLiteral("Να αποθηκευτούν οι νέες ρυθμίσεις στο σύστημα ;")) !=
        Prompter::Answer::Yes)
        return;
    Tag = QStringLiteral("True");
    accept();
}

void SystemSettingsFrm::ComposeName(NameLabel* label, const QString& title)
{
    NameInputFrm composer(title, this);
    if (composer.exec() == QDialog::Accepted)
        label->SetName(composer.Text(), composer.NameCodeString());
}

std::optional<QDateTime> SystemSettingsFrm::ClockToSet() const
{
    if (Check6->isChecked())
        return std::nullopt;
    return QDateTime(Combo4->date(), Combo5->time());
}

int SystemSettingsFrm::RowCount() const
{
    return LayoutFor(modelKind_).inputs.sensors;
}

void SystemSettingsFrm::BuildSensorLists(int rows, int digitalRows)
{
    for (int i = 0; i < rows; ++i) {
        const bool analog = i >= digitalRows;
        if (analog) {
            AppendItem(Combo1[i], QStringLiteral("Θερμοκρασίας 4-20mA"), TypeTemperature);
            AppendItem(Combo1[i], QStringLiteral("Υγρασίας 4-20mA"), TypeHumidity);
        }
        AppendItem(Combo1[i], QStringLiteral("TL1-TSx"), TypeProbe);
        AppendItem(Combo1[i], QStringLiteral("Επαφή"), TypeContact);
        AppendItem(Combo1[i], QStringLiteral("Επαφή (ΑΝ)"), TypeContactNormallyOpen);
        if (analog)
            AppendItem(Combo1[i], QStringLiteral("Πίεσης 4-20mA"), TypePressure);
        AppendItems(Combo2[i],
                    {QStringLiteral("Καμία"), QStringLiteral("Ανοιχτή"), QStringLiteral("Κλειστή")});
        Combo1[i]->setCurrentIndex(0);
        Combo2[i]->setCurrentIndex(0);
    }
}

void SystemSettingsFrm::DisableRow(int i)
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             Label8[i], Label44[i], Combo1[i], Text2[i], Text3[i], Combo2[i], Text4[i], Text5[i], Text6[i],
             Text7[i], Check3[i], Check4[i], Check1[i], Text8[i], Text9[i], Check2[i]})
        w->setEnabled(false);
}

void SystemSettingsFrm::FillRow(int i, const SensorRowValues& v)
{
    Label44[i]->SetName(v.name.caption, v.name.tag);
    Select(Combo1[i], v.typeIndex);
    Text2[i]->setText(v.maximum);
    Text3[i]->setText(v.minimum);
    Select(Combo2[i], v.contactIndex);
    Text4[i]->setText(v.rate);
    Text5[i]->setText(v.deviation);
    Text6[i]->setText(v.hysteresis);
    Text7[i]->setText(v.delay);
    Check3[i]->setChecked(v.logWithin);
    Check4[i]->setChecked(v.logOutside);
    Check1[i]->setChecked(v.messages);
    if (i >= LayoutFor(modelKind_).digitalCount) {
        Text8[i]->setText(v.reading4);
        Text9[i]->setText(v.reading20);
    }
    Check2[i]->setChecked(v.active);
}

void SystemSettingsFrm::Fill(const SettingsFormValues& v)
{
    modelKind_ = v.modelKind;
    const SettingsLayout& layout = LayoutFor(modelKind_);
    BuildSensorLists(layout.inputs.sensors, layout.digitalCount);

    const bool twenty = layout.bypassHours >= 0;
    const bool sg2 = twenty && !v.bypassEnabled;
    if (sg2) {
        Text10->setEnabled(false);
        Label43[1]->setEnabled(false);
        (v.sg2FiveVolt ? Option1 : Option2)->setChecked(true);
    } else {
        Option1->setEnabled(false);
        Option2->setEnabled(false);
        Label43[0]->setEnabled(false);
        if (twenty)
            Text10->setText(v.bypassHours);
    }
    QStringList modes{QStringLiteral("Μόνο Τάση Τροφοδοσίας"), QStringLiteral("1 Τάσης")};
    if (twenty)
        modes << QStringLiteral("2 Τάσεων") << QStringLiteral("3 Τάσεων");
    AppendItems(Combo10, modes);
    Combo10->setCurrentIndex(0);
    if (!twenty) {
        for (int i = layout.inputs.sensors; i < kSensorRows; ++i)
            DisableRow(i);
        for (QWidget* w : std::initializer_list<QWidget*>{Label80, Label81, Label83[1], Label83[2]})
            w->setEnabled(false);
    }

    for (int i = 0; i < layout.inputs.sensors && i < int(v.rows.size()); ++i)
        FillRow(i, v.rows[std::size_t(i)]);

    for (int k = 0; k < layout.inputs.VoltageNames() && k < int(v.voltageNames.size()); ++k)
        Label83[k]->SetName(v.voltageNames[std::size_t(k)].caption, v.voltageNames[std::size_t(k)].tag);
    Select(Combo10, v.mainsModeIndex);
    Text13->setText(v.mainsDelay);
    if (!twenty)
        Text10->setText(v.bypassHours);
    Check5[0]->setChecked(v.mainsLog);
    Check5[1]->setChecked(v.mainsMessages);

    for (int k = 0; k < 4; ++k)
        Text1[k]->setText(v.phones[k]);
    Select(Combo3, v.ringIndex);
    filledRingIndex_ = v.ringIndex;
    for (int p = 0; p < kSchedulePeriods; ++p) {
        QComboBox* lists[] = {Combo6[p], Combo7[p], Combo8[p], Combo9[p]};
        for (int c = 0; c < 4; ++c)
            Select(lists[c], v.schedule[std::size_t(p)][std::size_t(c)]);
    }

    Text14->setText(v.systemNumber);
    Label66->SetName(v.systemName.caption, v.systemName.tag);
    for (int k = 0; k < 2; ++k) {
        Text15[k]->setText(v.entryCode[k]);
        Text16[k]->setText(v.securityCode[k]);
    }
    // The filled lists are as wide as their longest items now.
    FitInto(screen()->availableGeometry());
}

SettingsFormValues SystemSettingsFrm::Values() const
{
    const SettingsLayout& layout = LayoutFor(modelKind_);
    SettingsFormValues v;
    v.modelKind = modelKind_;
    v.bypassEnabled = Text10->isEnabled();
    v.bypassHours = Text10->text();
    v.sg2FiveVolt = Option1->isChecked();
    for (int i = 0; i < layout.inputs.sensors; ++i) {
        SensorRowValues r;
        r.name = {Label44[i]->text(), Label44[i]->Tag};
        r.typeIndex = Combo1[i]->currentIndex();
        r.contactIndex = Combo2[i]->currentIndex();
        r.maximum = Text2[i]->text();
        r.minimum = Text3[i]->text();
        r.rate = Text4[i]->text();
        r.deviation = Text5[i]->text();
        r.hysteresis = Text6[i]->text();
        r.delay = Text7[i]->text();
        r.reading4 = Text8[i]->text();
        r.reading20 = Text9[i]->text();
        r.logWithin = Check3[i]->isChecked();
        r.logOutside = Check4[i]->isChecked();
        r.messages = Check1[i]->isChecked();
        r.active = Check2[i]->isChecked();
        v.rows.push_back(r);
    }
    for (int k = 0; k < layout.inputs.VoltageNames(); ++k)
        v.voltageNames.push_back({Label83[k]->text(), Label83[k]->Tag});
    v.mainsModeIndex = Combo10->currentIndex();
    v.mainsDelay = Text13->text();
    v.mainsLog = Check5[0]->isChecked();
    v.mainsMessages = Check5[1]->isChecked();
    for (int k = 0; k < 4; ++k)
        v.phones[k] = Text1[k]->text();
    // A list cannot be emptied by the operator: nothing selected is the count as it was read.
    v.ringIndex = Combo3->currentIndex() >= 0 ? Combo3->currentIndex() : filledRingIndex_;
    for (int p = 0; p < kSchedulePeriods; ++p)
        v.schedule[std::size_t(p)] = {Combo6[p]->currentIndex(), Combo7[p]->currentIndex(),
                                      Combo8[p]->currentIndex(), Combo9[p]->currentIndex()};
    v.systemNumber = Text14->text();
    v.systemName = {Label66->text(), Label66->Tag};
    for (int k = 0; k < 2; ++k) {
        v.entryCode[k] = Text15[k]->text();
        v.securityCode[k] = Text16[k]->text();
    }
    return v;
}

void FillSettingsForm(SystemSettingsFrm& form, int modelKind, const QString& model,
                      std::span<const quint8> image)
{
    form.Fill(DecodeSettingsForm(modelKind, model, image));
}
