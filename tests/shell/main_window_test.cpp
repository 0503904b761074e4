#include "fake_shell_prompter.h"
#include "test_databases.h"

#include <db/database.h>
#include <link/unit_link.h>
#include <scan/scan_engine.h>
#include <shell/main_window.h>
#include <shell/scan_scheduler.h>
#include <shell/settings_store.h>

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
        window_ = std::make_unique<Mainfrm>(store_, prompter_, flags_,
                                            MainWindowServices{
                                                .ScanSystems = [this] { engine_->ScanSystems(); },
                                                .startPing = [this] { scheduler_->StartPing(); },
                                                .showSystemsList =
                                                    [this] {
                                                        if (++listShown_ == 1)
                                                            AddUnit("C3", 1, "4-115200");
                                                    },
                                                .loadUsedUnits = [this] { return LoadUsedSystems(Db()); },
                                                .endProgram = [this] { ++ended_; },
                                            });
        scheduler_ = std::make_unique<ScanScheduler>(
            Db(), [this] { engine_->ScanSystems(); },
            SchedulerIntervals{.requestCheckMs = 1000, .pingMs = 100});
        engine_ =
            std::make_unique<ScanEngine>(Db(), link_, flags_, *window_, *scheduler_, [this] { ++ended_; });
        window_->FillGrid(*LoadUsedSystems(Db()));
        window_->FinishStartup();
    }

    void AddUnit(const char* serial, int commPort, const char* aux1)
    {
        ASSERT_TRUE(
            Db().Exec(QStringLiteral("INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, "
                                     "SyI_Commport, SyI_Aux1, SyI_Model, SyI_Softver, SyI_Hardver, "
                                     "SyI_Locationnumber) VALUES (?, 1, 0, ?, ?, 'TELVARON-2', '1', '1', 1)"),
                      {serial, commPort, aux1}));
    }

    // A statement of Db() that meets a terminal's lock gives up after lockMs.
    void ShortenLockWaits(int lockMs)
    {
        if (GetParam() == Database::Driver::SQLite)
            ASSERT_TRUE(Db().OpenSqlite(TestDb().SqliteFile(), std::chrono::milliseconds(lockMs)));
        else
            ASSERT_TRUE(Db().Exec(QStringLiteral("SET lock_timeout=%1").arg(lockMs)));
    }

    QTemporaryDir dir_;
    SettingsStore store_{dir_.filePath(QStringLiteral("settings.conf"))};
    FakeShellPrompter prompter_;
    ScanFlags flags_;
    // No serial port opens and the TCP unit's port refuses: every unit stays offline, quickly.
    UnitLink link_{SerialPortResolver{},
                   LinkTimings{.blockReplyWait = 50, .blockPause = 10, .tcpConnectWait = 50}};
    int ended_ = 0;
    int listShown_ = 0;
    std::unique_ptr<Mainfrm> window_;
    std::unique_ptr<ScanScheduler> scheduler_;
    std::unique_ptr<ScanEngine> engine_;
};
} // namespace

TEST_P(Window, ConnectRunsTheFirstPassAndDisconnectIsAskedThenStopsAtTheNext)
{
    window_->cmd_Connect->click();
    EXPECT_TRUE(flags_.ScanActive);
    EXPECT_EQ(window_->cmd_Connect->text(), QStringLiteral("Αποσύνδεση"));
    EXPECT_TRUE(window_->windowTitle().endsWith(QStringLiteral(" / Σε σύνδεση")));
    EXPECT_FALSE(window_->AddRemoveSystems->isEnabled());
    EXPECT_FALSE(window_->ChangeAppSettings->isEnabled());
    // The systems list is not reached while connected, however asked for.
    window_->AddRemoveSystems->trigger();
    window_->AddRemoveSystems_Click();
    EXPECT_EQ(listShown_, 0);
    EXPECT_TRUE(engine_->SystemsLoaded());
    EXPECT_EQ(window_->SysinfoGrid->item(0, 8)->text(), QStringLiteral("ΟΧΙ"));
    EXPECT_EQ(window_->SysinfoGrid->item(0, 8)->foreground().color(), QColor(Qt::red));
    EXPECT_TRUE(scheduler_->SystemScan.isActive());
    EXPECT_GT(scheduler_->SystemScan.interval(), 1000);
    EXPECT_TRUE(scheduler_->NewTrmReqCheck.isActive());
    EXPECT_TRUE(scheduler_->PingRequest.isActive());

    prompter_.answers = {Prompter::Answer::No};
    window_->cmd_Connect->click();
    EXPECT_FALSE(flags_.StopRequested);
    EXPECT_TRUE(window_->cmd_Connect->isEnabled());

    prompter_.answers = {Prompter::Answer::Yes};
    window_->cmd_Connect->click();
    EXPECT_TRUE(flags_.StopRequested);
    EXPECT_FALSE(window_->cmd_Connect->isEnabled());
    EXPECT_EQ(window_->Label1->text(), QStringLiteral("Αποσύνδεση. Παρακαλώ περιμένετε"));
    EXPECT_EQ(window_->windowTitle(), window_->BaseCaption());
    // A trouble met by the last pass does not hide the pending disconnect.
    window_->ShowScanProblem(QStringLiteral("Σφάλμα βάσης δεδομένων: ORA-03135"));
    EXPECT_EQ(window_->Label1->text(), QStringLiteral("Αποσύνδεση. Παρακαλώ περιμένετε"));

    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=1")));
    scheduler_->SystemScan_Timer();
    EXPECT_FALSE(flags_.ScanActive);
    EXPECT_FALSE(engine_->SystemsLoaded());
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
    EXPECT_EQ(window_->SysinfoGrid->item(0, 8)->text(), QString());
    EXPECT_EQ(window_->cmd_Connect->text(), QStringLiteral("Σύνδεση"));
    EXPECT_TRUE(window_->cmd_Connect->isEnabled());
    EXPECT_TRUE(window_->AddRemoveSystems->isEnabled());
    EXPECT_EQ(window_->Label1->text(), QString());
    EXPECT_FALSE(scheduler_->PingRequest.isActive());
    EXPECT_FALSE(scheduler_->SystemScan.isActive());
    EXPECT_EQ(ended_, 0);
}

TEST_P(Window, RequestBetweenPassesStartsAPassPingsAreServedAndExitEndsAtTheStop)
{
    window_->cmd_Connect->click();
    ASSERT_TRUE(scheduler_->NewTrmReqCheck.isActive());
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
    scheduler_->NewTrmReqCheck_Timer();
    EXPECT_FALSE(scheduler_->NewTrmReqCheck.isActive());
    EXPECT_TRUE(scheduler_->SystemScan.isActive());

    prompter_.answers = {Prompter::Answer::Yes};
    window_->Terminateprg->trigger();
    EXPECT_TRUE(flags_.ExitRequested);
    EXPECT_EQ(ended_, 0);
    EXPECT_EQ(window_->Label1->text(), QStringLiteral("Τερματισμός. Παρακαλώ περιμένετε"));
    EXPECT_FALSE(window_->cmd_Connect->isEnabled());
    scheduler_->SystemScan_Timer();
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Online<>0")), 0);
}

TEST_P(Window, AutoConnectToggleSystemsManagementAndExitWhileIdleAskedUnlessClosedByTheProgram)
{
    window_->AutoConnect_setting->trigger();
    EXPECT_TRUE(window_->AutoConnect_setting->isChecked());
    EXPECT_EQ(store_.Read(AppSettings, AutoConnect), QStringLiteral("1"));
    window_->AutoConnect_setting->trigger();
    EXPECT_EQ(store_.Read(AppSettings, AutoConnect), QStringLiteral("0"));

    window_->AddRemoveSystems->trigger();
    EXPECT_EQ(window_->SysinfoGrid->rowCount(), 3);
    ASSERT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Used=0")));
    window_->AddRemoveSystems->trigger();
    EXPECT_EQ(window_->SysinfoGrid->rowCount(), 0);
    EXPECT_FALSE(window_->cmd_Connect->isEnabled());

    prompter_.answers = {Prompter::Answer::No};
    window_->Terminateprg->trigger();
    EXPECT_EQ(ended_, 0);
    prompter_.answers = {Prompter::Answer::Yes};
    window_->Terminateprg->trigger();
    EXPECT_EQ(ended_, 1);
    window_->close();
    EXPECT_EQ(ended_, 2);
    EXPECT_EQ(prompter_.messages.size(), 2u);
}

// While a pass waits on a terminal's lock the window answers: the disconnect button is served at
// once, and the ping timer that ticks meanwhile leaves the database alone while the call waits.
TEST_P(Window, APassWaitingOnALockLeavesTheWindowAnswering)
{
    constexpr int kLockMs = 600;
    window_->cmd_Connect->click();
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    ShortenLockWaits(kLockMs);
    ASSERT_TRUE(HoldWriteLock(terminal, QStringLiteral("Systems_Info")));
    QElapsedTimer clock;
    clock.start();
    qint64 disconnectServedMs = -1;
    bool pingRearmed = false;
    qint64 pingMs = -1;
    QTimer::singleShot(100, [&] {
        prompter_.answers = {Prompter::Answer::Yes};
        window_->cmd_Connect->click();
        disconnectServedMs = clock.elapsed();
        QElapsedTimer ping;
        ping.start();
        scheduler_->PingRequest_Timer();
        pingMs = ping.elapsed();
        pingRearmed = scheduler_->PingRequest.isActive();
    });
    scheduler_->SystemScan_Timer();
    EXPECT_GT(clock.elapsed(), kLockMs) << "the pass waited on the lock";
    EXPECT_GE(disconnectServedMs, 100);
    EXPECT_LT(disconnectServedMs, 100 + 500);
    // The ping's tick did not wait for the pass's statement, nor run inside it.
    EXPECT_TRUE(pingRearmed);
    EXPECT_LT(pingMs, 50);
    EXPECT_FALSE(flags_.ScanActive);
    ASSERT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK")));
}

// Each ping tick marks every waiting row; a tick that meets a call waiting on a terminal's lock
// marks them once the call has ended, not a whole interval later.
TEST_P(Window, APingTickThatMeetsACallWaitingOnALockServesTheRowsWhenItEnds)
{
    constexpr int kPingMs = 1000;
    constexpr int kLockMs = 600;
    ShortenLockWaits(kLockMs);
    ScanScheduler scheduler(
        Db(), [] {}, SchedulerIntervals{.pingMs = kPingMs});
    Database terminal(QStringLiteral("terminal"));
    ASSERT_TRUE(TestDb().OpenConnection(terminal));
    ASSERT_TRUE(
        Db().Exec(QStringLiteral("INSERT INTO Terminal_Ping_Requests (TrmPingReq_Served) VALUES (0)")));
    QElapsedTimer waiting;
    waiting.start();
    scheduler.StartPing();
    ASSERT_TRUE(HoldWriteLock(terminal, QStringLiteral("Systems_Info")));
    // The call starts before the tick and waits past it; the lock goes within the call's bound.
    QTest::qWait(kPingMs - 200);
    QObject releaser;
    QTimer::singleShot(500, &releaser, [&] { EXPECT_TRUE(terminal.Exec(QStringLiteral("ROLLBACK"))); });
    EXPECT_TRUE(Db().Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Online=0")));
    EXPECT_GT(waiting.elapsed(), kPingMs) << "the call waited past the tick";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Count(QStringLiteral("SELECT TrmPingReq_Served FROM Terminal_Ping_Requests")) == 1; },
        2 * kPingMs));
    EXPECT_LE(waiting.elapsed(), kPingMs + kLockMs);
    EXPECT_TRUE(scheduler.PingRequest.isActive());
    EXPECT_EQ(scheduler.PingRequest.interval(), kPingMs);
}

INSTANTIATE_BOTH_DRIVERS(Window);

TEST(MainWindowGrid, FitsTheWindowFrom1024PixelsWideWithEveryCaptionWholeAndTheLastColumnToTheEdge)
{
    const QStringList captions{"Σειριακός αριθμός", "Μοντέλο",    "Software Ver.",
                               "Hardware Ver.",     "Θύρα επικ.", "Ταχύτητα (bps)",
                               "Αρ. Συστήματος",    "Περιγραφή",  "Σε σύνδεση"};
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.conf")));
    FakeShellPrompter prompter;
    ScanFlags flags;
    Mainfrm window(store, prompter, flags, MainWindowServices{});
    QTableWidget& grid = *window.SysinfoGrid;
    const SystemInfo unit{"TV1-000101",
                          "TELVARON-1E",
                          "3.12",
                          "2.0",
                          0,
                          "192.168.100.200:65535-115200",
                          1,
                          QStringLiteral("Ψυκτικός θάλαμος")};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Few units, then enough for a vertical scroll bar to take its share of the width; one unit
    // in its own menu shows the longest online text.
    for (const int units : {2, 60}) {
        window.FillGrid(std::vector<SystemInfo>(units, unit));
        window.ShowLinkState(0, 2);
        window.ShowLinkState(1, 1);
        for (const QSize size : {QSize(1024, 768), QSize(1280, 800), QSize(1920, 1080)}) {
            window.resize(size);
            QCoreApplication::processEvents();
            SCOPED_TRACE(testing::Message() << units << " units, " << size.width() << "x" << size.height());
            EXPECT_EQ(grid.horizontalScrollBar()->maximum(), 0);
            EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
            EXPECT_EQ(grid.columnViewportPosition(8) + grid.columnWidth(8), grid.viewport()->width());
            const QFontMetrics heading(grid.horizontalHeader()->font());
            for (int c = 0; c < captions.size(); ++c) {
                EXPECT_EQ(grid.horizontalHeaderItem(c)->text(), captions[c]);
                EXPECT_GT(grid.columnWidth(c), heading.horizontalAdvance(captions[c])) << c;
            }
            EXPECT_GT(grid.columnWidth(8),
                      QFontMetrics(grid.font()).horizontalAdvance(grid.item(0, 8)->text()));
        }
    }
}
