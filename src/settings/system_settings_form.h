#pragma once

#include "settings_form_values.h"

#include <QDateTime>
#include <QDialog>

#include <array>
#include <optional>
#include <span>

class NameLabel;
class Prompter;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimeEdit;

// The six-page settings dialog. Controls keep the names the forms of the program give them;
// a list's change of selection and a toggle's change of state run their handlers at once,
// also when made by code. Filled once per instance, then shown, possibly more than once.
class SystemSettingsFrm : public QDialog
{
    Q_OBJECT
public:
    explicit SystemSettingsFrm(Prompter& prompter, QWidget* parent = nullptr);

    // Fills the dialog for the layout of values.modelKind, in the order the pages are filled.
    void Fill(const SettingsFormValues& values);
    // The entries as they stand, for the writer.
    SettingsFormValues Values() const;
    // Sizes the dialog to show its pages whole as far as room, a screen's available area, allows
    // with the window's frame; what does not fit scrolls inside its page, the buttons stay.
    void FitInto(const QRect& room);
    // The clock the operator entered; nothing while Check6 is ticked, when the PC clock goes
    // with the commit.
    std::optional<QDateTime> ClockToSet() const;

    QString Tag; // "True" after a confirmed OK

    QTabWidget* SSTab1;
    std::array<QLabel*, kSensorRows> Label8{};
    std::array<NameLabel*, kSensorRows> Label44{};
    std::array<QComboBox*, kSensorRows> Combo1{}, Combo2{};
    std::array<QLineEdit*, kSensorRows> Text2{}, Text3{}, Text4{}, Text5{}, Text6{}, Text7{}, Text8{},
        Text9{};
    std::array<QPushButton*, kSensorRows> Check1{}, Check2{}, Check3{}, Check4{};
    QLabel* Label37; // "Καταγραφή Συμβάντων", over Label41 "Εντός" and Label42 "Εκτός"
    QLabel* Label41;
    QLabel* Label42;
    std::array<QLabel*, 2> Label43{};
    QRadioButton* Option1;
    QRadioButton* Option2;
    QLineEdit* Text10;
    QLabel* Label79;
    QLabel* Label80;
    QLabel* Label81;
    std::array<NameLabel*, kVoltageRows> Label83{};
    QComboBox* Combo10;
    QLineEdit* Text13;
    std::array<QCheckBox*, 2> Check5{};
    std::array<QLineEdit*, 4> Text1{};
    QComboBox* Combo3;
    std::array<QComboBox*, kSchedulePeriods> Combo6{}, Combo7{}, Combo8{}, Combo9{};
    QLineEdit* Text14;
    NameLabel* Label66;
    std::array<QLineEdit*, 2> Text15{}, Text16{};
    QCheckBox* Check6;
    QDateEdit* Combo4;
    QTimeEdit* Combo5;
    QPushButton* Command1;
    QPushButton* Command2;

private:
    QWidget* BuildNotificationPage();
    QWidget* BuildIdentityPage();
    QWidget* BuildCodesPage();
    QWidget* BuildSensorPage();
    QWidget* BuildClockPage();
    QWidget* BuildMainsPage();
    void Combo1_Click(int index);
    void Command1_Click();
    void Check6_Click();
    void ComposeName(NameLabel* label, const QString& title);
    void BuildSensorLists(int rows, int digitalRows);
    void DisableRow(int row);
    void FillRow(int row, const SensorRowValues& v);
    int RowCount() const;

    Prompter& prompter_;
    int modelKind_ = 0;
    int filledRingIndex_ = 0;
};

void FillSettingsForm(SystemSettingsFrm& form, int modelKind, const QString& model,
                      std::span<const quint8> image);
