#include "password_form.h"

#include <ui/button_row.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

void ShowAsStars(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
}

Passwordfrm::Passwordfrm(QWidget* parent)
    : QDialog(parent), Label1(new QLabel(this)), txtPassword(new QLineEdit(this)),
      cmdOK(new QPushButton(QStringLiteral("OK"), this)),
      cmdCancel(new QPushButton(QStringLiteral("Άκυρο"), this))
{
    setModal(true);
    ShowAsStars(txtPassword);
    Label1->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(txtPassword);
    layout->addLayout(ButtonRow(this, cmdOK, cmdCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(360);

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        text_ = txtPassword->text();
        result_ = ResultOk;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &Passwordfrm::reject);
}

void Passwordfrm::showEvent(QShowEvent* event)
{
    result_ = ResultNone;
    text_.clear();
    QDialog::showEvent(event);
}

void Passwordfrm::reject()
{
    result_ = ResultCancel;
    QDialog::reject();
}
