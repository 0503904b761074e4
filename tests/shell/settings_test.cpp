#include "fake_shell_prompter.h"

#include <shell/general_settings.h>
#include <shell/general_settings_form.h>
#include <shell/parameter_change.h>
#include <shell/password_form.h>
#include <shell/qt_prompter.h>
#include <shell/settings_store.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Setting;

namespace {
class SettingsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("settings.conf"));
    SettingsStore store_{path_};
};
} // namespace

// Only its owner may read the file: it holds the parameter password.
TEST_F(SettingsTest, EmptyStoreGivesDefaultsAndWritesSurviveAReopenUnseenByOthers)
{
    EXPECT_EQ(store_.Read(AppSettings, Init, QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(store_.Read(AppSettings, DBType), QString());
    store_.Write(AppSettings, AutoConnect, QStringLiteral(" 1"));
    store_.Write(Sps, SP1, QStringLiteral("p=w;d \"x\""));
    SettingsStore again(path_);
    EXPECT_EQ(again.Read(AppSettings, AutoConnect), QStringLiteral(" 1"));
    EXPECT_EQ(again.Read(Sps, SP1), QStringLiteral("p=w;d \"x\""));
    EXPECT_EQ(QFile::permissions(path_) &
                  ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
              QFileDevice::Permissions());
}

struct RefusalCase
{
    const char* name;
    GeneralSettingsEntries entries;
    const char* expected; // empty when accepted
};

TEST(GeneralSettingsChecks, RefusedInOrder)
{
    const QString pw = QStringLiteral("pw");
    auto file = [&](QString f, QString p, QString c) {
        GeneralSettingsEntries e;
        e.dbFile = f;
        e.password = p;
        e.confirmation = c;
        return e;
    };
    auto server = [&](QString ds, QString ip, QString port, QString p = QStringLiteral("pw")) {
        GeneralSettingsEntries e;
        e.fileDatabase = false;
        e.dataSource = ds;
        e.serverIp = ip;
        e.serverPort = port;
        e.password = p;
        e.confirmation = p;
        return e;
    };
    const RefusalCase cases[] = {
        {"no file", file({}, {}, {}), "Δεν έχετε συμπληρώσει τo πεδίo 'Αρχείο βάσης δεδομένων (tldb.db)'"},
        {"file, no passwords", file("/x.db", {}, {}),
         "Δεν έχετε συμπληρώσει τα πεδία 'Κωδικός προστασίας παραμέτρων' και 'Επιβεβαίωση κωδικού'"},
        {"one box empty", file("/x.db", pw, {}),
         "Tα πεδία 'Κωδικός προστασίας παραμέτρων' και 'Επιβεβαίωση κωδικού' δεν συμφωνούν"},
        {"case differs", file("/x.db", "Pw", "pw"),
         "Tα πεδία 'Κωδικός προστασίας παραμέτρων' και 'Επιβεβαίωση κωδικού' δεν συμφωνούν"},
        {"blank passwords agree", file("/x.db", " ", " "), ""},
        {"no data source", server({}, {}, {}),
         "Δεν έχετε συμπληρώσει τo πεδίo 'Όνομα βάσης δεδομένων (data source)'"},
        {"net service name", server("db", {}, {}), ""},
        {"port not examined without ip", server("db", {}, "x"), ""},
        {"ip without port", server("db", "10.0.0.1", {}),
         "Δεν έχετε συμπληρώσει τo πεδίo 'Port διακομιστή (server Port)'"},
        {"port 15a2", server("db", "10.0.0.1", "15a2"),
         "To πεδίo 'Port διακομιστή (server Port)' πρέπει να είναι αριθμός."},
        {"port 1521", server("db", "10.0.0.1", "1521"), ""},
        {"server checks come before passwords", server({}, {}, {}, {}),
         "Δεν έχετε συμπληρώσει τo πεδίo 'Όνομα βάσης δεδομένων (data source)'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GeneralSettingsRefusal(c.entries), QString::fromUtf8(c.expected)) << c.name;
}

TEST_F(SettingsTest, DialogLoadsFromStoreAndSavesOnlyAcceptedEntries)
{
    store_.Write(AppSettings, DBType, QStringLiteral("7"));
    store_.Write(AppSettings, DBDataSource, QStringLiteral("telvaron"));
    store_.Write(Sps, SP1, QStringLiteral("old"));
    FakeShellPrompter prompter;
    GeneralSettingsFrm dialog(store_, prompter);
    // Any DBType but "0" shows the server option, with the file row disabled.
    EXPECT_TRUE(dialog.Option1[1]->isChecked());
    EXPECT_FALSE(dialog.Command1->isEnabled());
    EXPECT_TRUE(dialog.AppSetting[0]->isEnabled());
    EXPECT_EQ(dialog.AppSetting[0]->text(), QStringLiteral("telvaron"));
    EXPECT_EQ(dialog.AppSetting[4]->text(), QStringLiteral("old"));

    dialog.AppSetting[1]->setText(QStringLiteral("127.0.0.1"));
    dialog.AppSetting[2]->setText(QStringLiteral("15a2"));
    dialog.cmdOK_Click();
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Exclamation);
    EXPECT_EQ(dialog.Tag(), QStringLiteral("False"));
    EXPECT_EQ(SettingsStore(path_).Read(AppSettings, DBServerIP), QString());

    dialog.AppSetting[2]->setText(QStringLiteral("5432"));
    dialog.Option1[0]->setChecked(true);
    EXPECT_TRUE(dialog.Command1->isEnabled());
    EXPECT_FALSE(dialog.AppSetting[1]->isEnabled());
    dialog.Label2->setText(QStringLiteral("/data/tldb.db"));
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.Tag(), QStringLiteral("True"));
    SettingsStore saved(path_);
    EXPECT_EQ(saved.Read(AppSettings, DBType), QStringLiteral("0"));
    EXPECT_EQ(saved.Read(AppSettings, DBFile), QStringLiteral("/data/tldb.db"));
    // The server fields are written too, as the dialog showed them.
    EXPECT_EQ(saved.Read(AppSettings, DBServerIP), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(saved.Read(AppSettings, DBServerPORT), QStringLiteral("5432"));
}

// Browse opens on the program folder's tldb.db when that file is there, else with no file name,
// whatever the working folder holds.
TEST_F(SettingsTest, DatabaseFileDialogPresetsTheProgramFoldersFile)
{
    const QString app = dir_.filePath(QStringLiteral("app"));
    const QString work = dir_.filePath(QStringLiteral("work"));
    const QString other = dir_.filePath(QStringLiteral("other"));
    ASSERT_TRUE(QDir().mkpath(app));
    ASSERT_TRUE(QDir().mkpath(work));
    ASSERT_TRUE(QDir().mkpath(other + QStringLiteral("/tldb.db")));
    ASSERT_TRUE(QFile(work + QStringLiteral("/tldb.db")).open(QIODevice::WriteOnly));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work));
    EXPECT_EQ(DatabaseFilePreset(app), QString());
    EXPECT_EQ(DatabaseFilePreset(other), QString()); // a folder of that name is no file
    ASSERT_TRUE(QFile(app + QStringLiteral("/tldb.db")).open(QIODevice::WriteOnly));
    EXPECT_EQ(DatabaseFilePreset(app), app + QStringLiteral("/tldb.db"));
    QDir::setCurrent(before);
}

// Browse itself asks for the program folder's file, not the one the working folder holds.
TEST_F(SettingsTest, BrowseOpensOnTheProgramFoldersFileNotTheWorkingFolders)
{
    const QString programFile =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tldb.db"));
    ASSERT_FALSE(QFileInfo::exists(programFile)) << "left from an earlier run: " << programFile.toStdString();
    const QString work = dir_.filePath(QStringLiteral("work"));
    const QString before = QDir::currentPath();
    const auto restore = qScopeGuard([&] {
        QDir::setCurrent(before);
        QFile::remove(programFile);
    });
    ASSERT_TRUE(QFile(programFile).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir().mkpath(work));
    ASSERT_TRUE(QFile(work + QStringLiteral("/tldb.db")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QDir::setCurrent(work));

    FakeShellPrompter prompter;
    GeneralSettingsFrm dialog(store_, prompter);
    // The operator takes the file the dialog opens with; a dialog that opens with none stays
    // open, and is cancelled.
    QTimer accept;
    int tries = 0;
    QObject::connect(&accept, &QTimer::timeout, [&tries] {
        if (QDialog* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            ++tries < 5 ? files->accept() : files->reject();
    });
    accept.start(20);
    dialog.Command1_Click();
    EXPECT_EQ(QFileInfo(dialog.Label2->text()).canonicalFilePath(),
              QFileInfo(programFile).canonicalFilePath());
}

TEST(PasswordPrompt, CloseBoxCountsAsCancelAndEachShowingStartsAfresh)
{
    Passwordfrm prompt;
    QTimer::singleShot(0, &prompt, [&] {
        prompt.txtPassword->setText(QStringLiteral("abc"));
        prompt.cmdOK->click();
    });
    prompt.exec();
    EXPECT_EQ(prompt.ParamPromptResult(), Passwordfrm::ResultOk);
    EXPECT_EQ(prompt.ParamPromptText(), QStringLiteral("abc"));

    QTimer::singleShot(0, &prompt, [&] { prompt.close(); });
    prompt.exec();
    EXPECT_EQ(prompt.ParamPromptResult(), Passwordfrm::ResultCancel);
    EXPECT_EQ(prompt.ParamPromptText(), QString());
}

TEST(CodePrompt, ACodeIsShownAsStarsAndReturnAnswersLikeOk)
{
    QtPrompter prompter;
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* line = box->findChild<QLineEdit*>();
        QTest::keyClicks(line, QStringLiteral("12ab"));
        shown = line->displayText();
        QTest::keyClick(line, Qt::Key_Return);
    });
    const auto typed =
        prompter.Code(QStringLiteral("TELVARON Server / Κωδικός"), QStringLiteral("Κωδικός :"));
    EXPECT_EQ(shown, QStringLiteral("****"));
    EXPECT_EQ(typed, std::optional<QString>(QStringLiteral("12ab")));
}

TEST_F(SettingsTest, ParameterChangeGate)
{
    store_.Write(Sps, SP1, QStringLiteral("Secret"));
    int ended = 0;
    const ProgramEnd end = [&] { ++ended; };

    struct Step
    {
        const char* name;
        std::optional<QString> typed;
        bool dialogAccepts;
        int messages;
        int dialogs;
        int ends;
    };
    const Step steps[] = {
        {"prompt cancelled", std::nullopt, true, 0, 0, 0},
        {"empty text returns silently", QString(), true, 0, 0, 0},
        {"letter case counts", QStringLiteral("secret"), true, 1, 0, 0},
        {"dialog cancelled", QStringLiteral("Secret"), false, 0, 1, 0},
        {"accepted change ends the program", QStringLiteral("Secret"), true, 1, 1, 1},
    };
    for (const Step& s : steps) {
        FakeShellPrompter prompter;
        prompter.passwords.push_back(s.typed);
        prompter.settingsAnswers.push_back([&](SettingsStore&) { return s.dialogAccepts; });
        ended = 0;
        store_.Write(AppSettings, Init, QStringLiteral("x"));
        ChangeApplicationSettings(store_, prompter, end);
        EXPECT_EQ(int(prompter.messages.size()), s.messages) << s.name;
        EXPECT_EQ(prompter.settingsShown, s.dialogs) << s.name;
        EXPECT_EQ(ended, s.ends) << s.name;
        EXPECT_EQ(store_.Read(AppSettings, Init), s.ends ? QStringLiteral("1") : QStringLiteral("x"))
            << s.name;
        if (std::string(s.name) == "letter case counts") {
            EXPECT_EQ(prompter.messages[0].text, QStringLiteral("Λάθος κωδικός !"));
        }
    }
}
