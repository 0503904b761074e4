#include "button_row.h"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>

namespace {
// Runs before the dialog picks its default button, which it does right after its show event.
class ReturnKeyKeeper : public QObject
{
public:
    ReturnKeyKeeper(QDialog* dialog, QPushButton* ok) : QObject(dialog), dialog_(dialog), ok_(ok)
    {
        dialog->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == dialog_ && event->type() == QEvent::Show)
            for (QPushButton* button : dialog_->findChildren<QPushButton*>()) {
                if (button->window() != dialog_)
                    continue;
                button->setAutoDefault(false);
                button->setDefault(button == ok_);
            }
        return false;
    }

private:
    QDialog* dialog_;
    QPointer<QPushButton> ok_;
};
} // namespace

void KeepReturnKey(QDialog* dialog, QPushButton* ok)
{
    new ReturnKeyKeeper(dialog, ok);
}

QHBoxLayout* ButtonRow(QDialog* dialog, QPushButton* ok, QPushButton* cancel, ReturnKey returnKey)
{
    KeepReturnKey(dialog, returnKey == ReturnKey::Ok ? ok : nullptr);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
