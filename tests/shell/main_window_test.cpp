#include "fake_prompter.h"
#include "test_databases.h"

#include <db/database.h>
#include <link/unit_link.h>
#include <scan/scan_engine.h>
#include <shell/main_window.h>
#include <shell/scan_scheduler.h>
#include <shell/settings_store.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Setting;

namespace {
// The main window with the real scan engine and timers over a test database.
class Window : public BothDriversTest
{
protected:
    void SetUp() override
    {
        BothDriversTest::SetUp();
        if (!testDb_)
            return;
        AddUnit("A1", 1, "3-115200");
        AddUnit("B2", 0, "127.0.0.1:1-115200");
        window = std::make_unique<Mainfrm>(store, prompter, flags,
                                           MainWindowServices{
                                               .ScanSystems = [this] { engine->ScanSystems(); },
                                               .startPing = [this] { scheduler->StartPing(); },
                                               .showSystemsList =
                                                   [this] {
                                                       if (++listShown == 1)
                                                           AddUnit("C3", 1, "4-115200");
                                                   },
                                               .loadUsedUnits = [this] { return LoadUsedSystems(Db()); },
                                               .endProgram = [this] { ++ended; },
                                           });
        scheduler = std::make_unique<ScanScheduler>(
            Db(), [this] { engine->ScanSystems(); },
            SchedulerIntervals{.requestCheckMs = 1000, .pingMs = 100});
        engine = std::make_unique<ScanEngine>(Db(), link, flags, *window, *scheduler, [this] { ++ended; });
        window->FillGrid(*LoadUsedSystems(Db()));
        window->FinishStartup();
    }

    void AddUnit(const char* serial, int commPort, const char* aux1)
    {
        ASSERT_TRUE(
            Db().Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, "
                                     "SyI_Commport, SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, "
                                     "SyI_Locationnumber) VALUES (?, 1, 0, ?, ?, 'TELVARON-2', '1', '1', 1)"),
                      {serial, commPort, aux1}));
    }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.conf"))};
    FakePrompter prompter;
    ScanFlags flags;
    // No serial port opens and the TCP unit's port refuses: every unit stays offline, quickly.
    UnitLink link{SerialPortResolver{},
                  LinkTimings{.blockReplyWait = 50, .blockPause = 10, .tcpConnectWait = 50}};
    int ended = 0;
    int listShown = 0;
    std::unique_ptr<Mainfrm> window;
    std::unique_ptr<ScanScheduler> scheduler;
    std::unique_ptr<ScanEngine> engine;
};
} // namespace

TEST_P(Window, ConnectRunsTheFirstPassAndDisconnectIsAskedThenStopsAtTheNext)
{
    window->cmd_Connect->click();
    EXPECT_TRUE(flags.ScanActive);
    EXPECT_EQ(window->cmd_Connect->text(), QStringLiteral("Αποσύνδεση"));
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(" / Σε σύνδεση")));
    EXPECT_FALSE(window->AddRemoveSystems->isEnabled());
    EXPECT_FALSE(window->ChangeAppSettings->isEnabled());
    // The systems list is not reached while connected, however asked for.
    window->AddRemoveSystems->trigger();
    window->AddRemoveSystems_Click();
    EXPECT_EQ(listShown, 0);
    EXPECT_TRUE(engine->SystemsLoaded());
    EXPECT_EQ(window->SysinfoGrid->item(0, 8)->text(), QStringLiteral("ΟΧΙ"));
    EXPECT_EQ(window->SysinfoGrid->item(0, 8)->foreground().color(), QColor(Qt::red));
    EXPECT_TRUE(scheduler->SystemScan.isActive());
    EXPECT_GT(scheduler->SystemScan.interval(), 1000);
    EXPECT_TRUE(scheduler->NewTrmReqCheck.isActive());
    EXPECT_TRUE(scheduler->PingRequest.isActive());

    prompter.answers = {Prompter::Answer::No};
    window->cmd_Connect->click();
    EXPECT_FALSE(flags.StopRequested);
    EXPECT_TRUE(window->cmd_Connect->isEnabled());

    prompter.answers = {Prompter::Answer::Yes};
    window->cmd_Connect->click();
    EXPECT_TRUE(flags.StopRequested);
    EXPECT_FALSE(window->cmd_Connect->isEnabled());
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Αποσύνδεση. Παρακαλώ περιμένετε"));
    EXPECT_EQ(window->windowTitle(), window->BaseCaption());
    // A trouble met by the last pass does not hide the pending disconnect.
    window->ShowScanProblem(QStringLiteral("Σφάλμα βάσης δεδομένων: ORA-03135"));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Αποσύνδεση. Παρακαλώ περιμένετε"));

    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=1")));
    scheduler->SystemScan_Timer();
    EXPECT_FALSE(flags.ScanActive);
    EXPECT_FALSE(engine->SystemsLoaded());
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
    EXPECT_EQ(window->SysinfoGrid->item(0, 8)->text(), QString());
    EXPECT_EQ(window->cmd_Connect->text(), QStringLiteral("Σύνδεση"));
    EXPECT_TRUE(window->cmd_Connect->isEnabled());
    EXPECT_TRUE(window->AddRemoveSystems->isEnabled());
    EXPECT_EQ(window->Label1->text(), QString());
    EXPECT_FALSE(scheduler->PingRequest.isActive());
    EXPECT_FALSE(scheduler->SystemScan.isActive());
    EXPECT_EQ(ended, 0);
}

TEST_P(Window, RequestBetweenPassesStartsAPassPingsAreServedAndExitEndsAtTheStop)
{
    window->cmd_Connect->click();
    ASSERT_TRUE(scheduler->NewTrmReqCheck.isActive());
    ASSERT_TRUE(
        Db().Exec(QStringLiteral("INSERT INTO Terminal_Ping_Requests (TrmPingReq_Served) VALUES (0)")));
    ASSERT_TRUE(Db().Exec(QStringLiteral("INSERT INTO Terminal_Requests (TrmReq_SyI_Serialnumber, "
                                         "TrmReq_Requesttype, TrmReq_Attributes) VALUES ('A1', 1, '1;1')")));
    // The request check starts a pass long before the ten seconds are up; the pass answers
    // the request for an offline unit at once.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Count(QStringLiteral("SELECT TrmReq_Requestcompleted FROM Terminal_Requests")) == 1; },
        2500));
    EXPECT_EQ(Count(QStringLiteral("SELECT TrmReq_Requestreply FROM Terminal_Requests")), 3);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Count(QStringLiteral("SELECT TrmPingReq_Served FROM Terminal_Ping_Requests")) == 1; },
        2000));

    // A request table that fails is left to the next pass, which stays armed.
    ASSERT_TRUE(Db().Exec(QStringLiteral("ALTER TABLE Terminal_Requests RENAME TO Requests_Away")));
    scheduler->NewTrmReqCheck_Timer();
    EXPECT_FALSE(scheduler->NewTrmReqCheck.isActive());
    EXPECT_TRUE(scheduler->SystemScan.isActive());

    prompter.answers = {Prompter::Answer::Yes};
    window->Terminateprg->trigger();
    EXPECT_TRUE(flags.ExitRequested);
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Τερματισμός. Παρακαλώ περιμένετε"));
    EXPECT_FALSE(window->cmd_Connect->isEnabled());
    scheduler->SystemScan_Timer();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
}

TEST_P(Window, AutoConnectToggleSystemsManagementAndExitWhileIdleAskedUnlessClosedByTheProgram)
{
    window->AutoConnect_setting->trigger();
    EXPECT_TRUE(window->AutoConnect_setting->isChecked());
    EXPECT_EQ(store.Read(AppSettings, AutoConnect), QStringLiteral("1"));
    window->AutoConnect_setting->trigger();
    EXPECT_EQ(store.Read(AppSettings, AutoConnect), QStringLiteral("0"));

    window->AddRemoveSystems->trigger();
    EXPECT_EQ(window->SysinfoGrid->rowCount(), 3);
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Used=0")));
    window->AddRemoveSystems->trigger();
    EXPECT_EQ(window->SysinfoGrid->rowCount(), 0);
    EXPECT_FALSE(window->cmd_Connect->isEnabled());

    prompter.answers = {Prompter::Answer::No};
    window->Terminateprg->trigger();
    EXPECT_EQ(ended, 0);
    prompter.answers = {Prompter::Answer::Yes};
    window->Terminateprg->trigger();
    EXPECT_EQ(ended, 1);
    window->close();
    EXPECT_EQ(ended, 2);
    EXPECT_EQ(prompter.messages.size(), 2u);
}

INSTANTIATE_BOTH_DRIVERS(Window);
