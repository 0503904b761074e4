#include "systems_list.h"

#include "unit_addition.h"
#include "unit_rows.h"

#include <db/database.h>
#include <ui/app_title.h>
#include <ui/button_row.h>
#include <ui/prompter.h>
#include <ui/systems_grid.h>
#include <unit/systems_info.h>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kSerialColumn = 0;
constexpr int kListColumns = 8; // the main grid's columns without the online one
} // namespace

SystemsList::SystemsList(Database& db, UnitLink& link, Prompter& prompter, ChangeSettings changeSettings,
                         QWidget* parent)
    : QDialog(parent), SystemListGrid(new QTableWidget(this)), comPortList(new QComboBox(this)),
      addSerialButton(new QPushButton(QStringLiteral("Προσθήκη"), this)), ipAddressText(new QLineEdit(this)),
      tcpPortText(new QLineEdit(this)), addTcpButton(new QPushButton(QStringLiteral("Προσθήκη"), this)),
      removeButton(new QPushButton(QStringLiteral("Αφαίρεση συστήματος"), this)),
      Command4(new QPushButton(QStringLiteral("Ρυθμίσεις"), this)),
      closeButton(new QPushButton(QStringLiteral("Κλείσιμο"), this)), ProgressLabel(new QLabel(this)),
      db_(db), link_(link), prompter_(prompter), changeSettings_(std::move(changeSettings))
{
    setWindowTitle(kAppTitle + QStringLiteral(" / Διαχείριση συστημάτων"));
    setModal(true);
    SystemListGrid->verticalHeader()->hide();
    SystemListGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SystemListGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    SystemListGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    ApplyGridFormat(*SystemListGrid, kSysinfoGridFormat.section(QLatin1Char('|'), 0, kListColumns - 1));
    for (int com = kFirstComPort; com <= kLastComPort; ++com)
        comPortList->addItem(QStringLiteral("COM%1").arg(com), com);
    ipAddressText->setPlaceholderText(QStringLiteral("π.χ. 192.168.1.20"));
    tcpPortText->setPlaceholderText(QStringLiteral("π.χ. 4001"));
    tcpPortText->setMaxLength(5);

    auto* serialBox = new QGroupBox(QStringLiteral("Προσθήκη μέσω σειριακής θύρας"), this);
    auto* serialRow = new QHBoxLayout(serialBox);
    serialRow->addWidget(new QLabel(QStringLiteral("Θύρα :"), serialBox));
    serialRow->addWidget(comPortList);
    serialRow->addStretch(1);
    serialRow->addWidget(addSerialButton);

    auto* tcpBox = new QGroupBox(QStringLiteral("Προσθήκη μέσω δικτύου (TCP/IP)"), this);
    auto* tcpRow = new QHBoxLayout(tcpBox);
    tcpRow->addWidget(new QLabel(QStringLiteral("Διεύθυνση IP :"), tcpBox));
    tcpRow->addWidget(ipAddressText, 2);
    tcpRow->addWidget(new QLabel(QStringLiteral("Θύρα TCP :"), tcpBox));
    tcpRow->addWidget(tcpPortText, 1);
    tcpRow->addWidget(addTcpButton);

    auto* adding = new QHBoxLayout;
    adding->addWidget(serialBox, 1);
    adding->addWidget(tcpBox, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(removeButton);
    bottom->addWidget(Command4);
    bottom->addWidget(ProgressLabel, 1);
    bottom->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SystemListGrid, 1);
    layout->addLayout(adding);
    layout->addLayout(bottom);
    resize(1000, 480);

    connect(addSerialButton, &QPushButton::clicked, this, &SystemsList::AddSerial_Click);
    connect(addTcpButton, &QPushButton::clicked, this, &SystemsList::AddTcp_Click);
    connect(removeButton, &QPushButton::clicked, this, &SystemsList::Remove_Click);
    connect(Command4, &QPushButton::clicked, this, &SystemsList::Command4_Click);
    connect(closeButton, &QPushButton::clicked, this, &SystemsList::reject);
    // Every button here talks to units or changes the list: Return sets none of them off.
    KeepReturnKey(this, nullptr);
    RefreshList();
}

void SystemsList::RefreshList()
{
    SystemListGrid->clearContents();
    const auto units = LoadUsedSystems(db_);
    if (!units) {
        SystemListGrid->setRowCount(0);
        Warn(QStringLiteral("Σφάλμα ανάγνωσης της βάσης δεδομένων:\n") + db_.LastError().description);
        return;
    }
    SystemListGrid->setRowCount(int(units->size()));
    for (int row = 0; row < int(units->size()); ++row) {
        const QStringList cells = SysinfoGridRow((*units)[row]);
        for (int c = 0; c < kListColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignCenter);
            SystemListGrid->setItem(row, c, item);
        }
    }
}

void SystemsList::AddSerial_Click()
{
    AddUnit(SerialAddress(comPortList->currentData().toInt()));
}

void SystemsList::AddTcp_Click()
{
    QString problem;
    const auto address = TcpAddress(ipAddressText->text(), tcpPortText->text(), &problem);
    if (!address) {
        Warn(problem);
        return;
    }
    AddUnit(*address);
}

void SystemsList::Remove_Click()
{
    const QString serial = SelectedSerial();
    if (serial.isEmpty())
        return;
    if (prompter_.Message(
            Prompter::Icon::Exclamation, Prompter::Buttons::YesNo, kAppTitle,
            QStringLiteral("Είστε βέβαιοι ότι θέλετε να αφαιρέσετε το σύστημα %1 από τη λίστα ;")
                .arg(serial)) != Prompter::Answer::Yes)
        return;
    if (!RemoveUnit(db_, serial))
        Warn(QStringLiteral("Σφάλμα εγγραφής στη βάση δεδομένων. Το σύστημα δεν αφαιρέθηκε.\n") +
             db_.LastError().description);
    RefreshList();
}

void SystemsList::Command4_Click()
{
    if (busy_)
        return;
    const QString serial = SelectedSerial();
    if (serial.isEmpty())
        return;
    const auto units = LoadUsedSystems(db_);
    if (!units) {
        Warn(QStringLiteral("Σφάλμα ανάγνωσης της βάσης δεδομένων:\n") + db_.LastError().description);
        return;
    }
    const auto unit = std::find_if(units->begin(), units->end(),
                                   [&](const SystemInfo& u) { return u.serialNumber == serial; });
    if (unit == units->end()) {
        RefreshList();
        return;
    }
    SetBusy(true);
    const bool changed = changeSettings_(
        *unit, [this](const QString& text) { ProgressLabel->setText(text); }, this);
    SetBusy(false);
    if (changed)
        RefreshList();
}

void SystemsList::reject()
{
    if (!busy_)
        QDialog::reject();
}

void SystemsList::AddUnit(const UnitAddress& address)
{
    if (busy_)
        return;
    SetBusy(true);
    UnitAddition addition(db_, link_, prompter_,
                          [this](const QString& text) { ProgressLabel->setText(text); });
    const bool added = addition.Add(address);
    SetBusy(false);
    if (added)
        RefreshList();
}

void SystemsList::SetBusy(bool busy)
{
    busy_ = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{addSerialButton, addTcpButton, removeButton, Command4,
                                                      closeButton, comPortList, ipAddressText, tcpPortText})
        w->setEnabled(!busy);
}

QString SystemsList::SelectedSerial()
{
    const int row = SystemListGrid->currentRow();
    const QTableWidgetItem* item = row < 0 ? nullptr : SystemListGrid->item(row, kSerialColumn);
    if (!item || SystemListGrid->selectedItems().isEmpty()) {
        Warn(QStringLiteral("Επιλέξτε πρώτα ένα σύστημα από τη λίστα !"));
        return {};
    }
    return item->text();
}

void SystemsList::Warn(const QString& text)
{
    prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::Ok, kAppTitle, text);
}
