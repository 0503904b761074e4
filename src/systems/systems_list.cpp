#include "systems_list.h"

#include <shell/app_title.h>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

SystemsList::SystemsList(QWidget* parent)
    : QDialog(parent), SystemListGrid(new QTableWidget(this)), ProgressLabel(new QLabel(this))
{
    setWindowTitle(AppTitle + QStringLiteral(" / Διαχείριση συστημάτων"));
    setModal(true);
    SystemListGrid->verticalHeader()->hide();
    SystemListGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* close = new QPushButton(QStringLiteral("Κλείσιμο"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SystemListGrid, 1);
    layout->addWidget(ProgressLabel);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(800, 400);
}
