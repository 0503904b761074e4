#include "systems_fixture.h"

#include <settings/name_input_form.h>
#include <settings/system_settings_form.h>
#include <shell/general_settings_form.h>
#include <shell/password_form.h>
#include <shell/settings_store.h>
#include <systems/systems_list.h>

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

// Return and Enter in the dialogs: they never flip a toggle, and do what OK does or nothing.

namespace {
using unitsim::BuildSettingsImage;
using unitsim::DefaultImageContents;

struct Key
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* name;
};
const Key kKeys[] = {{Qt::Key_Return, Qt::NoModifier, "Return"},
                     {Qt::Key_Enter, Qt::KeypadModifier, "Enter"}};

void ShowActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Gives the widget the focus, as a click or Tab would, and presses the key there.
void PressIn(QWidget* widget, const Key& key)
{
    widget->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget, key.key, key.modifiers);
}

// The state of every toggle of a window: checkable buttons, tick boxes and option buttons.
std::map<const QAbstractButton*, bool> Toggles(const QWidget& window)
{
    std::map<const QAbstractButton*, bool> states;
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isCheckable())
            states[button] = button->isChecked();
    return states;
}

// The widgets the operator can type or press Return in, on the page shown.
QList<QWidget*> Entries(QWidget* page)
{
    QList<QWidget*> entries;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        const bool entry = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractButton*>(w);
        // A spin box's own line edit is reached through the spin box.
        if (entry && !qobject_cast<QAbstractSpinBox*>(w->parentWidget()) && w->isEnabled() && w->isVisible())
            entries << w;
    }
    return entries;
}
} // namespace

TEST(ReturnKey, SettingsDialogFlipsNoToggleAndStartsNoUploadOnAnyPage)
{
    FakePrompter prompter;
    SystemSettingsFrm form(prompter);
    const QByteArray image = BuildSettingsImage(DefaultImageContents(true, 20, 1));
    FillSettingsForm(
        form, 0, QStringLiteral("TELVARON-1"),
        std::span(reinterpret_cast<const quint8*>(image.constData()), std::size_t(image.size())));
    ShowActive(form);
    const auto toggles = Toggles(form);
    int pressed = 0;
    for (int page = 0; page < form.SSTab1->count(); ++page) {
        form.SSTab1->setCurrentIndex(page);
        const QList<QWidget*> entries = Entries(form.SSTab1->currentWidget());
        ASSERT_FALSE(entries.isEmpty()) << page;
        for (QWidget* entry : entries)
            for (const Key& key : kKeys) {
                SCOPED_TRACE(QStringLiteral("page %1, %2 %3, %4")
                                 .arg(page)
                                 .arg(QString::fromLatin1(entry->metaObject()->className()),
                                      entry->objectName(), QString::fromLatin1(key.name))
                                 .toStdString());
                PressIn(entry, key);
                ++pressed;
                ASSERT_EQ(Toggles(form), toggles);
                // OK asks before anything goes to the unit; Return must not even ask.
                ASSERT_TRUE(prompter.messages.empty());
                ASSERT_TRUE(form.isVisible());
                ASSERT_EQ(form.Tag, QString());
            }
    }
    // Sensor 1's maximum limit box, where the fault was seen, was among them.
    EXPECT_GT(pressed, 2 * kSensorRows);
}

TEST(ReturnKey, PasswordPromptAcceptsLikeOk)
{
    for (const Key& key : kKeys) {
        Passwordfrm prompt;
        ShowActive(prompt);
        prompt.txtPassword->setFocus();
        QTest::keyClicks(prompt.txtPassword, QStringLiteral("x 1"));
        PressIn(prompt.txtPassword, key);
        EXPECT_EQ(prompt.ParamPromptResult(), Passwordfrm::ResultOk) << key.name;
        EXPECT_EQ(prompt.ParamPromptText(), QStringLiteral("x 1")) << key.name;
        EXPECT_FALSE(prompt.isVisible()) << key.name;
    }
}

TEST(ReturnKey, ApplicationSettingsAcceptLikeOkWithoutTouchingTheDatabaseKind)
{
    for (const Key& key : kKeys) {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.conf")));
        FakePrompter prompter;
        GeneralSettingsFrm dialog(store, prompter);
        dialog.Option1[0]->setChecked(true);
        dialog.Label2->setText(dir.filePath(QStringLiteral("tldb.db")));
        ShowActive(dialog);
        const auto toggles = Toggles(dialog);
        for (int box : {3, 4}) {
            dialog.AppSetting[box]->setFocus();
            QTest::keyClicks(dialog.AppSetting[box], QStringLiteral("pw"));
        }
        PressIn(dialog.AppSetting[4], key);
        EXPECT_EQ(Toggles(dialog), toggles) << key.name;
        EXPECT_EQ(dialog.Tag(), QStringLiteral("True")) << key.name;
        EXPECT_EQ(store.Read(Setting::Sps, Setting::SP1), QStringLiteral("pw")) << key.name;
    }
}

TEST(ReturnKey, NameComposerAcceptsLikeOkAndTypesNoLetter)
{
    for (const Key& key : kKeys) {
        NameInputFrm composer(QStringLiteral("Όνομα Αισθητηρίου 1"));
        ShowActive(composer);
        // The first letter key: Return on it accepts the name as it stands.
        QPushButton* letter = composer.findChildren<QPushButton*>().front();
        PressIn(letter, key);
        EXPECT_EQ(composer.result(), QDialog::Accepted) << key.name;
        EXPECT_EQ(composer.Text(), QString()) << key.name;
        EXPECT_EQ(composer.NameCodeString(), QStringLiteral("00")) << key.name;
    }
}

class ReturnKeyInSystemsList : public SystemsFixture
{
};

TEST_P(ReturnKeyInSystemsList, AddsNoUnitAndAsksNothing)
{
    SystemsList dialog(Db(), *link_, prompter_, {});
    ShowActive(dialog);
    dialog.ipAddressText->setText(QStringLiteral("127.0.0.1"));
    dialog.tcpPortText->setText(QStringLiteral("1"));
    for (QWidget* entry : Entries(&dialog))
        for (const Key& key : kKeys) {
            SCOPED_TRACE(
                QStringLiteral("%1 %2")
                    .arg(QString::fromLatin1(entry->metaObject()->className()), QString::fromLatin1(key.name))
                    .toStdString());
            PressIn(entry, key);
            ASSERT_TRUE(prompter_.messages.empty()) << prompter_.messages.front().text.toStdString();
            ASSERT_TRUE(prompter_.textPrompts.isEmpty());
            ASSERT_TRUE(dialog.isVisible());
        }
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Systems_Info")), 0);
}

INSTANTIATE_BOTH_DRIVERS(ReturnKeyInSystemsList);
