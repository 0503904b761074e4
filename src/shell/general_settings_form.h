#pragma once

#include "general_settings.h"

#include <QDialog>

#include <array>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SettingsStore;

// The database parameters and the parameter-protection password. Loaded afresh from
// the store at every showing; OK writes the store only when every check passes.
class GeneralSettingsFrm : public QDialog
{
    Q_OBJECT
public:
    GeneralSettingsFrm(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    // "True" once the entries were accepted and saved, "False" otherwise.
    QString Tag() const { return tag_; }

    GeneralSettingsEntries Entries() const;
    void SetEntries(const GeneralSettingsEntries& entries);

    void cmdOK_Click();
    void Command1_Click();

    std::array<QRadioButton*, 2> Option1;
    std::array<QLabel*, 9> Label1;
    QLabel* Label2;
    QPushButton* Command1;
    std::array<QLineEdit*, 5> AppSetting;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void Option1_Click();

    SettingsStore& store_;
    Prompter& prompter_;
    QString tag_ = QStringLiteral("False");
};
