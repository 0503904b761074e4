#pragma once

#include <QString>

class QAbstractButton;

// A yes/no toggle: its checked state is what the writer stores; its "Tag" property ("0" yes,
// "1" no), caption and colour are the visible state, flipped once on every change of the
// checked state, whoever makes it.
void MakeToggleTag(QAbstractButton* button, bool checked, const QString& yes, const QString& no);
QString ToggleTagOf(const QAbstractButton* button);
