#include "systems_grid.h"

#include <unit/unit_address.h>

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
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

namespace {
const QString kColumnFitName = QStringLiteral("columnFit");

// Keeps the columns across the grid's visible width: the format's widths where they fit, with
// the last column reaching the right edge; in a narrower grid the widths shrink in proportion,
// but no column below its whole heading (or the text reserved for it), so a scroll bar comes
// only when those alone are wider.
class ColumnFit : public QObject
{
public:
    explicit ColumnFit(QTableWidget& grid) : QObject(&grid), grid_(grid)
    {
        setObjectName(kColumnFitName);
        grid.horizontalHeader()->setStretchLastSection(true);
        grid.viewport()->installEventFilter(this);
    }

    static ColumnFit& Of(QTableWidget& grid)
    {
        auto* fit = grid.findChild<QObject*>(kColumnFitName, Qt::FindDirectChildrenOnly);
        return fit ? *static_cast<ColumnFit*>(fit) : *new ColumnFit(grid);
    }

    void SetWidths(QList<int> format, QList<int> heading)
    {
        format_ = std::move(format);
        heading_ = std::move(heading);
        Fit();
    }

    void Reserve(int column, int width)
    {
        reserved_[column] = std::max(reserved_.value(column), width);
        Fit();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            Fit();
        return QObject::eventFilter(watched, event);
    }

private:
    void Fit()
    {
        QList<int> least = heading_;
        QList<int> full = format_;
        for (auto r = reserved_.cbegin(); r != reserved_.cend(); ++r)
            if (r.key() < least.size()) {
                least[r.key()] = std::max(least[r.key()], r.value());
                full[r.key()] = std::max(full[r.key()], r.value());
            }
        // A grid not shown yet has no width of its own to fit.
        const int room = grid_.isVisible() ? grid_.viewport()->width() : 0;
        const QList<int> widths = room > 0 ? Scaled(full, least, room) : full;
        for (int c = 0; c + 1 < widths.size(); ++c)
            grid_.setColumnWidth(c, widths[c]);
        // The header stretches the last column over what is left, never below the width it was
        // given last.
        if (!least.isEmpty())
            grid_.setColumnWidth(least.size() - 1, least.back());
    }

    // The full widths scaled by one factor to fill room, each column held at its least width
    // when the factor would take it below; the full widths when they fit already.
    static QList<int> Scaled(const QList<int>& full, const QList<int>& least, int room)
    {
        QList<bool> held(full.size(), false);
        double factor = 1.0;
        for (bool settled = false; !settled;) {
            int heldSum = 0;
            int freeSum = 0;
            for (int c = 0; c < full.size(); ++c) {
                if (held[c])
                    heldSum += least[c];
                else
                    freeSum += full[c];
            }
            factor = freeSum > 0 ? std::min(1.0, double(room - heldSum) / freeSum) : 1.0;
            settled = true;
            for (int c = 0; c < full.size(); ++c) {
                if (!held[c] && factor * full[c] < least[c]) {
                    held[c] = true;
                    settled = false;
                }
            }
        }
        QList<int> widths;
        for (int c = 0; c < full.size(); ++c)
            widths.append(held[c] ? least[c] : int(factor * full[c]));
        return widths;
    }

    QTableWidget& grid_;
    QList<int> format_;
    QList<int> heading_;
    QHash<int, int> reserved_;
};

int Padding(const QTableWidget& grid)
{
    return 2 * QFontMetrics(grid.font()).averageCharWidth();
}
} // namespace

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
    const int padding = Padding(grid);
    QList<int> formatWidths;
    QList<int> headingWidths;
    for (int c = 0; c < columns.size(); ++c) {
        QString text = columns[c];
        const bool centred = text.startsWith(QLatin1Char('^'));
        if (centred)
            text.remove(0, 1);
        auto* header = new QTableWidgetItem(text.trimmed());
        header->setTextAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        grid.setHorizontalHeaderItem(c, header);
        const int heading = headMetrics.horizontalAdvance(header->text()) + headMargins;
        headingWidths.append(heading);
        formatWidths.append(std::max(metrics.horizontalAdvance(text), heading) + padding);
    }
    ColumnFit::Of(grid).SetWidths(formatWidths, headingWidths);
}

void ReserveColumnText(QTableWidget& grid, int column, const QString& text)
{
    ColumnFit::Of(grid).Reserve(column, QFontMetrics(grid.font()).horizontalAdvance(text) + Padding(grid));
}
