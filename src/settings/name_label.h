#pragma once

#include <QLabel>

// A bordered name box: shows a unit name and keeps its byte codes; a double click asks for a
// new name (a disabled box takes no clicks).
class NameLabel : public QLabel
{
    Q_OBJECT
public:
    explicit NameLabel(QWidget* parent = nullptr);
    QString Tag;
    // Caption, codes and tool tip together.
    void SetName(const QString& caption, const QString& tag);

signals:
    void DoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
