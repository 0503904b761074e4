#pragma once

#include <QDialog>

class QLabel;
class QTableWidget;

// The systems list: the listed units, shown modally while no scan runs.
class SystemsList : public QDialog
{
    Q_OBJECT
public:
    explicit SystemsList(QWidget* parent = nullptr);

    QTableWidget* SystemListGrid;
    QLabel* ProgressLabel;
};
