#pragma once

#include <QDialog>

class QLabel;

// Shown while the database opens, so that the operator knows what the program waits for.
class Waitfrm : public QDialog
{
    Q_OBJECT
public:
    explicit Waitfrm(const QString& text, QWidget* parent = nullptr);

    QLabel* Label2;
};
