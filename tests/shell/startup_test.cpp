#include "fake_prompter.h"
#include "test_databases.h"

#include <db/database.h>
#include <db/sqlite_compaction.h>
#include <shell/database_opening.h>
#include <shell/main_window.h>
#include <shell/settings_store.h>
#include <shell/startup.h>
#include <shell/wait_form.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Setting;

namespace {

int Count(Database& db, const QString& sql)
{
    const auto rows = db.Select(sql);
    return rows && !rows->empty() ? rows->front().value(0).toInt() : -1;
}

// A shell whose program end is only recorded, around a store in a temporary folder.
struct Shell
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.conf"))};
    FakePrompter prompter;
    ScanFlags flags;
    int ended = 0;
    int scans = 0;
    Database db{QStringLiteral("startup")};
    Mainfrm window{store, prompter, flags,
                   MainWindowServices{
                       .ScanSystems = [this] { ++scans; },
                       .startPing = [] {},
                       .showSystemsList = [] {},
                       .loadUsedUnits = [] { return std::optional<std::vector<SystemInfo>>(); },
                       .endProgram = [this] { ++ended; },
                   }};

    bool Start()
    {
        return RunStartup(store, prompter, db, window, [this] { ++ended; });
    }

    void SetSqlite(const QString& file)
    {
        store.Write(AppSettings, Init, QStringLiteral("1"));
        store.Write(AppSettings, DBType, QStringLiteral("0"));
        store.Write(AppSettings, DBFile, file);
        store.Write(Sps, SP1, QStringLiteral("pw"));
    }
};

// Counts the paint events of the widgets of the windows that `watched` picks.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(std::function<bool(const QWidget*)> watched) : watched_(std::move(watched))
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            if (const auto* widget = qobject_cast<QWidget*>(object); widget && watched_(widget->window()))
                ++count;
        return false;
    }

    int count = 0;

private:
    std::function<bool(const QWidget*)> watched_;
};

// A database file with two used units, one removed unit, logged history and stale live rows.
QString PreparedFile(const QString& folder)
{
    auto source = TestDatabase::Create(Database::Driver::SQLite, QStringLiteral("prepare"));
    Database& db = source->Db();
    EXPECT_TRUE(RunSqlScript(
        db,
        QStringLiteral(
            "INSERT INTO Systems_Info (SyI_Serialnumber, SyI_Used, SyI_Online, SyI_Commport, SyI_Aux1, "
            "SyI_Model, SyI_Softver, SyI_Hardver, SyI_Locationnumber, SyI_Systemname) VALUES "
            "('A1', 1, 1, 1, '3-115200', 'TELVARON-1', '1.0', '1.1', 7, NULL), "
            "('B''2', 1, 2, 0, '127.0.0.1:4001-115200', 'TELVARON-2', '2.0', '2.1', 9, 'Ψυγείο'), "
            "('C3', 0, 1, 1, '4-115200', 'TELVARON-2', '2.0', '2.1', 1, 'removed');"
            "INSERT INTO Terminal_Requests (TrmReq_SyI_Serialnumber, TrmReq_Requesttype, TrmReq_Attributes, "
            "TrmReq_Requestcompleted) VALUES ('A1', 1, '1', 0);"
            "INSERT INTO Terminal_Ping_Requests (TrmPingReq_Served) VALUES (0);"
            "INSERT INTO Systems_Faults (SyF_SyI_Serialnumber, SyF_Faulttype, SyF_Faultinfo) VALUES ('A1', "
            "3, "
            "'x')")));
    const QString copy = folder + QStringLiteral("/tldb.db");
    db.Close();
    EXPECT_TRUE(QFile::copy(source->SqliteFile(), copy));
    return copy;
}
} // namespace

TEST(Startup, PreparedSqliteDatabaseIsResetAndShown)
{
    Shell shell;
    const QString file = PreparedFile(shell.dir.path());
    shell.SetSqlite(file);
    ASSERT_TRUE(shell.Start());
    EXPECT_EQ(shell.ended, 0);
    EXPECT_TRUE(shell.prompter.messages.empty());

    Database& db = shell.db;
    for (const char* table : LiveTables)
        EXPECT_EQ(Count(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))), 0) << table;
    EXPECT_EQ(
        Count(db, QStringLiteral("SELECT COUNT(*) FROM Systems_Info WHERE SyI_Used=1 AND SyI_Online<>0")), 0);
    EXPECT_EQ(Count(db, QStringLiteral("SELECT SyI_Online FROM Systems_Info WHERE SyI_Serialnumber='C3'")),
              1);
    EXPECT_TRUE(QFile::exists(shell.dir.filePath(QStringLiteral("tldb.bak"))));

    // The used units, in the grid's own format.
    QTableWidget& grid = *shell.window.SysinfoGrid;
    ASSERT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.item(0, 4)->text(), QStringLiteral("COM3"));
    EXPECT_EQ(grid.item(1, 7)->text(), QStringLiteral("Ψυγείο"));
    EXPECT_EQ(grid.item(1, 8)->text(), QString());
    EXPECT_TRUE(shell.window.cmd_Connect->isEnabled());
    EXPECT_FALSE(shell.window.cmd_Connect->isHidden());
    EXPECT_EQ(shell.window.Label1->text(), QString());
    EXPECT_EQ(shell.scans, 0);
}

TEST(Startup, AutoConnectOnlyWithUnitsAndTheExactValue)
{
    struct Case
    {
        const char* value;
        bool units;
        int scans;
    };
    const Case cases[] = {{"1", true, 1}, {" 1", true, 0}, {"yes", true, 0}, {"1", false, 0}};
    for (const Case& c : cases) {
        Shell shell;
        const QString file = PreparedFile(shell.dir.path());
        if (!c.units) {
            Database edit(QStringLiteral("edit"));
            ASSERT_TRUE(edit.OpenSqlite(file) &&
                        edit.Exec(QStringLiteral("UPDATE Systems_Info SET SyI_Used=0")));
        }
        shell.SetSqlite(file);
        shell.store.Write(AppSettings, AutoConnect, QString::fromUtf8(c.value));
        ASSERT_TRUE(shell.Start()) << c.value;
        EXPECT_EQ(shell.scans, c.scans) << c.value;
        EXPECT_EQ(shell.window.AutoConnect_setting->isChecked(), QByteArray(c.value) == "1") << c.value;
        EXPECT_EQ(shell.window.cmd_Connect->isEnabled(), c.units) << c.value;
    }
}

TEST(Startup, FirstRunGoesOnOnlyWithAcceptedSettings)
{
    for (const bool accepted : {false, true}) {
        Shell shell;
        const QString file = PreparedFile(shell.dir.path());
        // Cancel, then OK to the warning, then the second showing; Cancel to a second warning.
        shell.prompter.answers = {Prompter::Answer::Ok, Prompter::Answer::Ok, Prompter::Answer::Cancel};
        shell.prompter.settingsAnswers = {[](SettingsStore&) { return false; },
                                          [&](SettingsStore& s) {
                                              s.Write(AppSettings, DBFile, file);
                                              return accepted;
                                          }};
        EXPECT_EQ(shell.Start(), accepted);
        EXPECT_EQ(shell.prompter.settingsShown, 2);
        EXPECT_EQ(shell.store.Read(AppSettings, Init, QStringLiteral("0")), accepted ? "1" : "0");
        EXPECT_EQ(shell.store.Read(AppSettings, DBType), QStringLiteral("0"));
        EXPECT_EQ(shell.db.IsOpen(), accepted);
        EXPECT_EQ(shell.window.SysinfoGrid->rowCount(), accepted ? 2 : 0);
        ASSERT_EQ(shell.prompter.messages.size(), accepted ? 2u : 3u);
        EXPECT_TRUE(shell.prompter.messages[0].text.startsWith(
            QStringLiteral("Καλωσορίσατε στην εφαρμογή TELVARON")));
        EXPECT_EQ(shell.prompter.messages[1].buttons, Prompter::Buttons::OkCancel);
    }
}

TEST(Startup, FailedOpenExplainsAndEnds)
{
    const struct
    {
        const char* name;
        const char* dbType;
        bool fileExists;
        Prompter::Answer answer;
        QStringList laterTexts; // after the explanation
    } cases[] = {
        {"missing file", "0", false, Prompter::Answer::No, {}},
        {"DBType not a number", "x", true, Prompter::Answer::No, {}},
        {"parameter change with a wrong password",
         "0",
         false,
         Prompter::Answer::Yes,
         {"Λάθος κωδικός !", "Πατήστε 'ΟΚ' για να τερματίσετε την εφαρμογή."}},
    };
    for (const auto& c : cases) {
        Shell shell;
        const QString file = c.fileExists ? PreparedFile(shell.dir.path())
                                          : shell.dir.filePath(QStringLiteral("none/tldb.db"));
        shell.SetSqlite(file);
        shell.store.Write(AppSettings, DBType, QString::fromUtf8(c.dbType));
        shell.prompter.answers = {c.answer};
        shell.prompter.passwords = {QStringLiteral("wrong")};
        EXPECT_FALSE(shell.Start()) << c.name;
        EXPECT_EQ(shell.ended, 1) << c.name;
        ASSERT_EQ(shell.prompter.messages.size(), 1 + c.laterTexts.size()) << c.name;
        const auto& box = shell.prompter.messages[0];
        EXPECT_EQ(box.icon, Prompter::Icon::Critical);
        EXPECT_TRUE(box.text.contains(QStringLiteral("- Άγνωστο σφάλμα. Επικοινωνήστε με την εταιρία")))
            << c.name;
        EXPECT_TRUE(box.text.endsWith(QStringLiteral("'Όχι' για να τερματίσετε την εφαρμογή."))) << c.name;
        for (qsizetype i = 0; i < c.laterTexts.size(); ++i)
            EXPECT_EQ(shell.prompter.messages[i + 1].text, c.laterTexts[i]) << c.name;
        EXPECT_EQ(QFile::exists(file), c.fileExists) << c.name;
    }
}

// The locked window is on the screen before the compaction starts, and the wait window is painted
// when it appears.
TEST(Startup, TheWindowsArePaintedBeforeTheWorkThatHoldsTheEventLoop)
{
    Shell shell;
    shell.SetSqlite(PreparedFile(shell.dir.path()));
    PaintCounter paints([&](const QWidget* w) { return w == &shell.window; });
    PaintCounter waitPaints([](const QWidget* w) { return qobject_cast<const Waitfrm*>(w) != nullptr; });
    // Shown as the start-up shows it, with nothing let through since.
    shell.window.show();
    int paintedAtWork = -1;
    bool enabledAtWork = true;
    const bool opened = OpenDatabase(
        shell.store, shell.prompter, shell.db, &shell.window, [&] { ++shell.ended; },
        [&](const QString& file) {
            paintedAtWork = paints.count;
            enabledAtWork = shell.window.isEnabled();
            BackUpAndCompact(file);
        });
    EXPECT_TRUE(opened);
    EXPECT_GT(paintedAtWork, 0);
    EXPECT_FALSE(enabledAtWork);
    EXPECT_TRUE(shell.window.isEnabled());
    EXPECT_TRUE(QFile::exists(shell.dir.filePath(QStringLiteral("tldb.bak"))));
    // Deleted before any event ran again: painted in its constructor.
    EXPECT_GT(waitPaints.count, 0);
}
