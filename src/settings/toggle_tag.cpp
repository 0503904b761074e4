#include "toggle_tag.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QPalette>
#include <QVariant>

namespace {
void Paint(QAbstractButton* button, const QColor& colour)
{
    if (qobject_cast<QCheckBox*>(button)) {
        // A style sheet would colour the tick box as well, and on red it could not be seen:
        // only the area around the box takes the colour; the box stays white with a dark edge.
        QPalette palette = button->palette();
        palette.setColor(QPalette::Window, colour);
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        // On a tab page a check box takes the page's role, not Window, unless told.
        button->setBackgroundRole(QPalette::Window);
        button->setAutoFillBackground(true);
        button->setPalette(palette);
    } else {
        button->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
    }
}

void Show(QAbstractButton* button, bool yes, const QString& yesText, const QString& noText)
{
    button->setProperty("Tag", yes ? QStringLiteral("0") : QStringLiteral("1"));
    button->setText(yes ? yesText : noText);
    Paint(button, yes ? QColor(128, 255, 128) : QColor(255, 0, 0));
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
