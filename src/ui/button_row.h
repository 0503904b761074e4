#pragma once

class QDialog;
class QHBoxLayout;
class QPushButton;

// What Return and Enter do in a dialog.
enum class ReturnKey { Ok, Nothing };

// Return and Enter in the dialog click ok, or do nothing when ok is null: no other push button
// (a toggle above all) ever becomes the default or clicks on Return while it has the focus.
// Set again at every showing, so buttons added later are covered too.
void KeepReturnKey(QDialog* dialog, QPushButton* ok);

// A dialog's answer buttons, right-aligned as the platform shows them, with the Return key
// kept for ok or for nothing.
QHBoxLayout* ButtonRow(QDialog* dialog, QPushButton* ok, QPushButton* cancel,
                       ReturnKey returnKey = ReturnKey::Ok);
