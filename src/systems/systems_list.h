#pragma once

#include <settings/settings_change.h>

#include <QDialog>

class Database;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class UnitLink;
struct UnitAddress;

// The systems list: the listed units, adding one by serial port or by IP address and TCP port,
// and removing one. Shown modally while no scan runs; talks to units on element 0 of the link.
class SystemsList : public QDialog
{
    Q_OBJECT
public:
    SystemsList(Database& db, UnitLink& link, Prompter& prompter, QWidget* parent = nullptr);

    // Fills the grid from the listed units.
    void RefreshList();
    void AddSerial_Click();
    void AddTcp_Click();
    void Remove_Click();
    // The settings change of the selected unit.
    void Command4_Click();

    QTableWidget* SystemListGrid;
    QComboBox* comPortList;
    QPushButton* addSerialButton;
    QLineEdit* ipAddressText;
    QLineEdit* tcpPortText;
    QPushButton* addTcpButton;
    QPushButton* removeButton;
    QPushButton* Command4;
    QPushButton* closeButton;
    QLabel* ProgressLabel;
    // How the settings dialog is shown: modally, unless a test answers in place of the operator.
    SettingsChange::ShowDialog showSettings;

public slots:
    // Not while a unit is being added: its transactions still wait inside.
    void reject() override;

private:
    void AddUnit(const UnitAddress& address);
    void SetBusy(bool busy);
    // The serial number of the selected unit; empty, with the operator told, when none is.
    QString SelectedSerial();
    void Warn(const QString& text);

    Database& db_;
    UnitLink& link_;
    Prompter& prompter_;
    bool busy_ = false;
};
