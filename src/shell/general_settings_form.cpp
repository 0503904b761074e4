#include "general_settings_form.h"

#include "password_form.h"

#include <ui/app_title.h>
#include <ui/button_row.h>
#include <ui/prompter.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

GeneralSettingsFrm::GeneralSettingsFrm(SettingsStore& store, Prompter& prompter, QWidget* parent)
    : QDialog(parent), store_(store), prompter_(prompter)
{
    setWindowTitle(kAppTitle + QStringLiteral(" / Παράμετροι εφαρμογής"));
    setModal(true);

    const char* labelTexts[9] = {
        "Όνομα βάσης δεδομένων διακομιστή (data source)",
        "IP διακομιστή (server IP)",
        "Port διακομιστή (server Port)",
        "(Αφήστε το πεδίο κενό εάν η βάση δεδομένων βρίσκεται σε αυτόν τον Η/Υ)",
        "(Αφήστε το πεδίο κενό εάν η βάση δεδομένων βρίσκεται σε αυτόν τον Η/Υ)",
        "Τύπος βάσης δεδομένων",
        "Αρχείο βάσης δεδομένων",
        "Κωδικός προστασίας παραμέτρων",
        "Επιβεβαίωση κωδικού",
    };
    for (int i = 0; i < 9; ++i)
        Label1[i] = new QLabel(QString::fromUtf8(labelTexts[i]), this);
    for (int i : {3, 4}) {
        Label1[i]->setWordWrap(true);
        QFont small = Label1[i]->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        Label1[i]->setFont(small);
    }
    for (int i : {7, 8})
        Label1[i]->setStyleSheet(QStringLiteral("color: red;"));

    auto* frame1 = new QGroupBox(this);
    Option1[0] = new QRadioButton(QStringLiteral("SQLite"), frame1);
    Option1[1] = new QRadioButton(QStringLiteral("PostgreSQL"), frame1);
    auto* optionRow = new QHBoxLayout(frame1);
    optionRow->addWidget(Option1[0]);
    optionRow->addWidget(Option1[1]);

    Label2 = new QLabel(this);
    Label2->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Label2->setMinimumWidth(320);
    Command1 = new QPushButton(QStringLiteral("Αναζήτηση"), this);
    for (auto*& box : AppSetting)
        box = new QLineEdit(this);
    ShowAsStars(AppSetting[3]);
    ShowAsStars(AppSetting[4]);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Άκυρο"), this);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(Label1[5], row, 0);
    grid->addWidget(frame1, row++, 1, 1, 2);
    grid->addWidget(Label1[6], row, 0);
    grid->addWidget(Label2, row, 1);
    grid->addWidget(Command1, row++, 2);
    grid->addWidget(Label1[0], row, 0);
    grid->addWidget(AppSetting[0], row++, 1, 1, 2);
    grid->addWidget(Label1[1], row, 0);
    grid->addWidget(AppSetting[1], row++, 1, 1, 2);
    grid->addWidget(Label1[3], row++, 1, 1, 2);
    grid->addWidget(Label1[2], row, 0);
    grid->addWidget(AppSetting[2], row++, 1, 1, 2);
    grid->addWidget(Label1[4], row++, 1, 1, 2);
    grid->addWidget(Label1[7], row, 0);
    grid->addWidget(AppSetting[3], row++, 1, 1, 2);
    grid->addWidget(Label1[8], row, 0);
    grid->addWidget(AppSetting[4], row++, 1, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow(this, cmdOK, cmdCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Option1[0], &QRadioButton::toggled, this, &GeneralSettingsFrm::Option1_Click);
    connect(Command1, &QPushButton::clicked, this, &GeneralSettingsFrm::Command1_Click);
    connect(cmdOK, &QPushButton::clicked, this, &GeneralSettingsFrm::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &GeneralSettingsFrm::reject);

    SetEntries(LoadGeneralSettings(store_));
}

GeneralSettingsEntries GeneralSettingsFrm::Entries() const
{
    GeneralSettingsEntries e;
    e.fileDatabase = Option1[0]->isChecked();
    e.dbFile = Label2->text();
    e.dataSource = AppSetting[0]->text();
    e.serverIp = AppSetting[1]->text();
    e.serverPort = AppSetting[2]->text();
    e.password = AppSetting[3]->text();
    e.confirmation = AppSetting[4]->text();
    return e;
}

void GeneralSettingsFrm::SetEntries(const GeneralSettingsEntries& e)
{
    AppSetting[3]->setText(e.password);
    AppSetting[4]->setText(e.confirmation);
    Option1[e.fileDatabase ? 0 : 1]->setChecked(true);
    Option1_Click();
    Label2->setText(e.dbFile);
    Label2->setToolTip(e.dbFile);
    AppSetting[0]->setText(e.dataSource);
    AppSetting[1]->setText(e.serverIp);
    AppSetting[2]->setText(e.serverPort);
}

void GeneralSettingsFrm::Option1_Click()
{
    const bool file = Option1[0]->isChecked();
    for (QWidget* w :
         {static_cast<QWidget*>(Label1[6]), static_cast<QWidget*>(Label2), static_cast<QWidget*>(Command1)})
        w->setEnabled(file);
    for (int i = 0; i <= 4; ++i)
        Label1[i]->setEnabled(!file);
    for (int i = 0; i <= 2; ++i)
        AppSetting[i]->setEnabled(!file);
}

void GeneralSettingsFrm::Command1_Click()
{
    const QString chosen = QFileDialog::getOpenFileName(
        this, kAppTitle, DatabaseFilePreset(QCoreApplication::applicationDirPath()),
        QStringLiteral("SQLite database files (*.db)"));
    if (!chosen.isEmpty()) {
        Label2->setText(chosen);
        Label2->setToolTip(chosen);
    }
}

void GeneralSettingsFrm::cmdOK_Click()
{
    const GeneralSettingsEntries entries = Entries();
    const QString refusal = GeneralSettingsRefusal(entries);
    if (!refusal.isEmpty()) {
        prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::Ok, kAppTitle, refusal);
        return;
    }
    SaveGeneralSettings(store_, entries);
    tag_ = QStringLiteral("True");
    accept();
}
