#include "name_label.h"

NameLabel::NameLabel(QWidget* parent) : QLabel(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setMinimumWidth(160);
    // As tall as a text box, also when empty.
    setMinimumHeight(fontMetrics().height() + 2 * frameWidth() + 4);
}

void NameLabel::SetName(const QString& caption, const QString& tag)
{
    setText(caption);
    Tag = tag;
    setToolTip(caption);
}

void NameLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}
