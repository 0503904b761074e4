#include "qt_prompter.h"

#include "general_settings_form.h"
#include "password_form.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
QMessageBox::Icon ToQt(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Exclamation:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}
} // namespace

Prompter::Answer QtPrompter::Message(Icon icon, Buttons buttons, const QString& title, const QString& text)
{
    QMessageBox box(ToQt(icon), title, text, QMessageBox::NoButton, parent_);
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    switch (buttons) {
    case Buttons::Ok:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        break;
    case Buttons::OkCancel:
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("Άκυρο"), QMessageBox::RejectRole);
        break;
    case Buttons::YesNo:
        yes = box.addButton(QStringLiteral("Ναι"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("Όχι"), QMessageBox::NoRole);
        break;
    }
    box.setDefaultButton(ok ? ok : yes);
    box.setEscapeButton(cancel ? cancel : (no ? no : ok));
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked == yes && yes)
        return Answer::Yes;
    if (clicked == no && no)
        return Answer::No;
    if (clicked == ok && ok)
        return Answer::Ok;
    // A box closed without a button press answers with its escape button.
    return buttons == Buttons::YesNo ? Answer::No : (buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel);
}

std::optional<QString> QtPrompter::Password(const QString& caption, const QString& label)
{
    Passwordfrm prompt(parent_);
    prompt.setWindowTitle(caption);
    prompt.Label1->setText(label);
    prompt.exec();
    if (prompt.ParamPromptResult() != Passwordfrm::ResultOk)
        return std::nullopt;
    return prompt.ParamPromptText();
}

std::optional<QString> QtPrompter::Code(const QString& title, const QString& label)
{
    QInputDialog box(parent_);
    box.setWindowTitle(title);
    box.setLabelText(label);
    box.setTextEchoMode(QLineEdit::Password);
    ShowAsStars(box.findChild<QLineEdit*>());
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Άκυρο"));
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

bool QtPrompter::EditSettings(SettingsStore& store)
{
    GeneralSettingsFrm dialog(store, *this, parent_);
    dialog.exec();
    return dialog.Tag() == QLatin1String("True");
}
