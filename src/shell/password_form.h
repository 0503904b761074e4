#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// A password box that shows "*" for every typed character.
void ShowAsStars(QLineEdit* box);

// The parameter-password prompt. Its answer is reset with every showing, and a close
// by the close box counts as Cancel.
class Passwordfrm : public QDialog
{
    Q_OBJECT
public:
    enum Result : quint8 { ResultNone = 0, ResultOk = 1, ResultCancel = 2 };

    explicit Passwordfrm(QWidget* parent = nullptr);

    quint8 ParamPromptResult() const { return result_; }
    QString ParamPromptText() const { return text_; }

    QLabel* Label1;
    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    quint8 result_ = ResultNone;
    QString text_;
};
