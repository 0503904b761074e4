#include "toggle_tag.h"

#include <QAbstractButton>
#include <QVariant>

namespace {
void Show(QAbstractButton* button, bool yes, const QString& yesText, const QString& noText)
{
    button->setProperty("Tag", yes ? QStringLiteral("0") : QStringLiteral("1"));
    button->setText(yes ? yesText : noText);
    button->setStyleSheet(yes ? QStringLiteral("background-color: rgb(128, 255, 128);")
                              : QStringLiteral("background-color: rgb(255, 0, 0);"));
}
} // namespace

void MakeToggleTag(QAbstractButton* button, bool checked, const QString& yes, const QString& no)
{
    button->setCheckable(true);
    button->setChecked(checked);
    Show(button, checked, yes, no);
    QObject::connect(button, &QAbstractButton::toggled, button,
                     [button, yes, no] { Show(button, ToggleTagOf(button).toInt() != 0, yes, no); });
}

QString ToggleTagOf(const QAbstractButton* button)
{
    return button->property("Tag").toString();
}
