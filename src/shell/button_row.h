#pragma once

#include <QHBoxLayout>
#include <QPushButton>

// A dialog's answer buttons, right-aligned as the platform shows them.
inline QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
