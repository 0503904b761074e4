#include "main_window.h"

#include "parameter_change.h"
#include "settings_store.h"
#include "shell_prompter.h"

#include <ui/app_title.h>

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString kConnectCaption = QStringLiteral("Σύνδεση");
const QString kDisconnectCaption = QStringLiteral("Αποσύνδεση");
constexpr int kOnlineColumn = 8;
// The online column's texts by link state.
const QString kLinkStateTexts[] = {QStringLiteral("ΟΧΙ"), QStringLiteral("ΝΑΙ"),
                                   QStringLiteral("ΠΡΟΓΡΑΜΜΑΤΙΣΜΟΣ")};
} // namespace

Mainfrm::Mainfrm(SettingsStore& store, ShellPrompter& prompter, ScanFlags& flags, MainWindowServices services)
    : store_(store), prompter_(prompter), flags_(flags), services_(std::move(services))
{
    auto* central = new QWidget(this);
    Label1 = new QLabel(QStringLiteral("Παρακαλώ περιμένετε"), central);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setStyleSheet(
        QStringLiteral("background: black; color: white; font-weight: bold; font-size: 16pt;"));
    Label1->setMinimumHeight(40);
    Label1->setWordWrap(true);

    SysinfoGrid = new QTableWidget(central);
    SysinfoGrid->verticalHeader()->hide();
    SysinfoGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SysinfoGrid->setSelectionMode(QAbstractItemView::NoSelection);
    ResetGrid();
    // The operator looks for the online state first: it shows whole however narrow the window.
    for (const QString& text : kLinkStateTexts)
        ReserveColumnText(*SysinfoGrid, kOnlineColumn, text);

    cmd_Connect = new QPushButton(kConnectCaption, central);
    cmd_Connect->setMinimumWidth(160);
    cmd_Connect->hide();
    cmd_Connect->setEnabled(false);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(Label1);
    layout->addWidget(SysinfoGrid, 1);
    layout->addWidget(cmd_Connect, 0, Qt::AlignHCenter);
    setCentralWidget(central);

    auto* menu = menuBar()->addMenu(QStringLiteral("Διαχείριση"));
    ChangeAppSettings = menu->addAction(QStringLiteral("Παράμετροι εφαρμογής"));
    AddRemoveSystems = menu->addAction(QStringLiteral("Διαχείριση συστημάτων"));
    AutoConnect_setting = menu->addAction(QStringLiteral("Αυτόματη σύνδεση κατά την εκκίνηση"));
    AutoConnect_setting->setCheckable(true);
    menu->addSeparator();
    Terminateprg = menu->addAction(QStringLiteral("Έξοδος"));

    connect(cmd_Connect, &QPushButton::clicked, this, &Mainfrm::cmd_Connect_Click);
    connect(ChangeAppSettings, &QAction::triggered, this, &Mainfrm::ChangeAppSettings_Click);
    connect(AddRemoveSystems, &QAction::triggered, this, &Mainfrm::AddRemoveSystems_Click);
    // The tick is ours to set: toggle from the state before the click.
    connect(AutoConnect_setting, &QAction::triggered, this, [this] {
        AutoConnect_setting->setChecked(!AutoConnect_setting->isChecked());
        AutoConnect_setting_Click();
    });
    connect(Terminateprg, &QAction::triggered, this, &Mainfrm::Terminateprg_Click);
    // The session ends with the desktop logout: nobody is left to answer. The exit follows once
    // the session manager has had its reply.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this] { QMetaObject::invokeMethod(this, &Mainfrm::ExitUnasked, Qt::QueuedConnection); });

    setWindowTitle(BaseCaption());
    // Never wider than the screen: the grid's columns keep to the window's width.
    const QSize room = screen()->availableGeometry().size();
    resize(qMin(1100, room.width()), qMin(480, room.height()));
}

QString Mainfrm::BaseCaption() const
{
    return kAppTitle + QStringLiteral(" v%1.%2%3")
                           .arg(TELVARON_VERSION_MAJOR)
                           .arg(TELVARON_VERSION_MINOR)
                           .arg(TELVARON_VERSION_PATCH);
}

void Mainfrm::ResetGrid()
{
    SysinfoGrid->setRowCount(0);
    ApplyGridFormat(*SysinfoGrid, kSysinfoGridFormat);
}

void Mainfrm::SetCell(int row, int column, const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    if (const auto* header = SysinfoGrid->horizontalHeaderItem(column))
        item->setTextAlignment(Qt::Alignment(header->textAlignment()));
    SysinfoGrid->setItem(row, column, item);
}

void Mainfrm::FillGrid(const std::vector<SystemInfo>& units)
{
    ResetGrid();
    SysinfoGrid->setRowCount(int(units.size()));
    for (int r = 0; r < int(units.size()); ++r) {
        const QStringList texts = SysinfoGridRow(units[r]);
        for (int c = 0; c < texts.size(); ++c)
            SetCell(r, c, texts[c]);
        SetCell(r, kOnlineColumn, QString());
    }
}

void Mainfrm::FinishStartup()
{
    cmd_Connect->setEnabled(SysinfoGrid->rowCount() > 0);
    Label1->clear();
    cmd_Connect->show();
}

void Mainfrm::RefillGrid()
{
    const auto units = services_.loadUsedUnits();
    FillGrid(units.value_or(std::vector<SystemInfo>{}));
    cmd_Connect->setEnabled(SysinfoGrid->rowCount() > 0);
}

void Mainfrm::cmd_Connect_Click()
{
    if (cmd_Connect->text() == kDisconnectCaption) {
        if (prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::YesNo, kAppTitle,
                              QStringLiteral("Είστε βέβαιοι ότι θέλετε να αποσυνδεθείτε ;")) !=
            Prompter::Answer::Yes)
            return;
        Label1->setText(QStringLiteral("Αποσύνδεση. Παρακαλώ περιμένετε"));
        setWindowTitle(BaseCaption());
        flags_.StopRequested = true;
        cmd_Connect->setEnabled(false);
        return;
    }
    cmd_Connect->setText(kDisconnectCaption);
    setWindowTitle(BaseCaption() + QStringLiteral(" / Σε σύνδεση"));
    AddRemoveSystems->setEnabled(false);
    ChangeAppSettings->setEnabled(false);
    flags_.StopRequested = false;
    flags_.ScanActive = true;
    services_.startPing();
    services_.ScanSystems();
}

void Mainfrm::AddRemoveSystems_Click()
{
    if (flags_.ScanActive)
        return;
    services_.showSystemsList();
    RefillGrid();
}

void Mainfrm::ChangeAppSettings_Click()
{
    if (flags_.ScanActive)
        return;
    ChangeApplicationSettings(store_, prompter_, services_.endProgram);
}

void Mainfrm::AutoConnect_setting_Click()
{
    const bool ticked = AutoConnect_setting->isChecked();
    AutoConnect_setting->setChecked(!ticked);
    store_.Write(Setting::AppSettings, Setting::AutoConnect,
                 ticked ? QStringLiteral("0") : QStringLiteral("1"));
}

bool Mainfrm::ConfirmExit(bool ask)
{
    if (ask && prompter_.Message(Prompter::Icon::Exclamation, Prompter::Buttons::YesNo, kAppTitle,
                                 QStringLiteral("Είστε βέβαιοι ότι θέλετε να τερματίσετε την εφαρμογή ") +
                                     kAppTitle + QStringLiteral(" ;")) != Prompter::Answer::Yes)
        return false;
    if (flags_.ScanActive) {
        Label1->setText(QStringLiteral("Τερματισμός. Παρακαλώ περιμένετε"));
        flags_.ExitRequested = true;
        cmd_Connect->setEnabled(false);
        return false;
    }
    return true;
}

void Mainfrm::Terminateprg_Click()
{
    if (ConfirmExit(true))
        services_.endProgram();
}

void Mainfrm::ExitUnasked()
{
    if (ConfirmExit(false))
        services_.endProgram();
}

void Mainfrm::closeEvent(QCloseEvent* event)
{
    event->ignore();
    // Only the operator's own close is asked about, as the menu's exit is.
    if (event->spontaneous())
        Terminateprg_Click();
    else
        ExitUnasked();
}

void Mainfrm::ShowRunUnits(const std::vector<SystemInfo>& units)
{
    FillGrid(units);
    for (int r = 0; r < int(units.size()); ++r)
        ShowLinkState(r, 0);
}

void Mainfrm::ShowLinkState(int unit, quint8 linkState)
{
    SetCell(unit, kOnlineColumn, kLinkStateTexts[std::min<int>(linkState, 2)]);
    SysinfoGrid->item(unit, kOnlineColumn)->setForeground(linkState == 1 ? Qt::black : Qt::red);
}

void Mainfrm::ClearOnlineColumn()
{
    for (int r = 0; r < SysinfoGrid->rowCount(); ++r)
        SetCell(r, kOnlineColumn, QString());
}

void Mainfrm::ShowScanProblem(const QString& text)
{
    // A pending disconnect or exit keeps its notice until the stop.
    if (flags_.StopRequested || flags_.ExitRequested)
        return;
    Label1->setText(text);
}

void Mainfrm::RestoreIdle()
{
    Label1->clear();
    AddRemoveSystems->setEnabled(true);
    ChangeAppSettings->setEnabled(true);
    cmd_Connect->setText(kConnectCaption);
    cmd_Connect->setEnabled(true);
    flags_.ScanActive = false;
}
