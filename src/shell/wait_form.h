#pragma once

#include <QDialog>

class QLabel;

// Shows the window and returns once it is on the screen and painted, so that work which holds
// the event loop next (a compaction, a connection attempt) never leaves it blank. Meanwhile it
// lets window events run, the operator's input excepted; it gives up waiting after a few
// seconds on a display that never exposes the window.
void ShowPainted(QWidget* window);

// Shown while the database opens, so that the operator knows what the program waits for.
// It is on the screen, painted, when its constructor returns.
class Waitfrm : public QDialog
{
    Q_OBJECT
public:
    explicit Waitfrm(const QString& text, QWidget* parent = nullptr);

    QLabel* Label2;
};
