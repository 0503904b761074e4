#include "systems_grid.h"

#include <unit/unit_address.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>

QStringList SysinfoGridRow(const SystemInfo& u)
{
    const ListedAddress listed(u);
    const QString name = u.systemName.isNull() ? QString() : u.systemName.toString();
    return {u.serialNumber,
            u.model,
            u.softwareVersion,
            u.hardwareVersion,
            listed.Line(),
            listed.speed,
            u.locationNumber.toString(),
            name.isEmpty() ? QStringLiteral("Ανώνυμο σύστημα") : name};
}

void ApplyGridFormat(QTableWidget& grid, const QString& format)
{
    const QStringList columns = format.split(QLatin1Char('|'));
    grid.setColumnCount(columns.size());
    QHeaderView* heads = grid.horizontalHeader();
    // A highlighted heading turns bold and would no longer fit its column.
    heads->setHighlightSections(false);
    const QFontMetrics metrics(grid.font());
    const QFontMetrics headMetrics(heads->font());
    const int headMargins = 2 * heads->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, heads);
    for (int c = 0; c < columns.size(); ++c) {
        QString text = columns[c];
        const bool centred = text.startsWith(QLatin1Char('^'));
        if (centred)
            text.remove(0, 1);
        auto* header = new QTableWidgetItem(text.trimmed());
        header->setTextAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        grid.setHorizontalHeaderItem(c, header);
        const int width = std::max(metrics.horizontalAdvance(text),
                                   headMetrics.horizontalAdvance(header->text()) + headMargins);
        grid.setColumnWidth(c, width + 2 * metrics.averageCharWidth());
    }
}
