#pragma once

#include <QString>

// The error of a failed database open, with its likely causes and remedies in Greek.
// A description beginning "ORA" chooses the causes by the five characters after "ORA-".
void DbErrorExplanation(QString& text, long number, const QString& description);
