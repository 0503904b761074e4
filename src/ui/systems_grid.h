#pragma once

#include <unit/systems_info.h>

#include <QStringList>

class QTableWidget;

// The texts of grid columns 0 to 7 for one unit.
QStringList SysinfoGridRow(const SystemInfo& unit);

// Lays the grid out from its format string: columns split by '|', a leading '^' centres
// the column, and the text with its trailing blanks is the header and sets the width. Once
// shown, the columns keep to the grid's width: the last one reaches its right edge, and in a
// narrow grid they shrink in proportion, never below their whole headings.
void ApplyGridFormat(QTableWidget& grid, const QString& format);

// A text the column shows whole however narrow the grid gets; it stays reserved when the
// format is applied again.
void ReserveColumnText(QTableWidget& grid, int column, const QString& text);

inline const QString kSysinfoGridFormat = QStringLiteral(
    "^Σειριακός αριθμός |^Μοντέλο          |^Software Ver.|^Hardware Ver.|^Θύρα επικ.                        "
    "|^Ταχύτητα (bps) |^Αρ. Συστήματος |^Περιγραφή                   |^Σε σύνδεση ");
