#pragma once

#include <ui/dialog_line.h>

#include <QDialog>

#include <functional>

class Database;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class UnitLink;
struct SystemInfo;
struct UnitAddress;

// The systems list: the listed units, adding one by serial port or by IP address and TCP port,
// and removing one. Shown modally while no scan runs; talks to units on element 0 of the link.
class SystemsList : public QDialog
{
    Q_OBJECT
public:
    // Changes a listed unit's settings, showing its steps through progress and its dialog over
    // parent; true when the unit and the database carry new settings.
    using ChangeSettings =
        std::function<bool(const SystemInfo& unit, DialogLine::Progress progress, QWidget* parent)>;

    SystemsList(Database& db, UnitLink& link, Prompter& prompter, ChangeSettings changeSettings,
                QWidget* parent = nullptr);

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
    ChangeSettings changeSettings_;
    bool busy_ = false;
};
