#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

class ScanWindow;

// What the status line says during a scan run: each trouble from the moment it is seen until a
// whole pass has gone by without it, so that a report never outlives what it reports.
class ScanProblems
{
public:
    explicit ScanProblems(ScanWindow& window) : window_(window) {}

    // Forgets every trouble: a run that stops leaves nothing to report to the next.
    void Clear();
    // A trouble seen now. A key names the trouble; while it goes on, its first text stands.
    void Raise(const QString& key, const QString& text);
    // A trouble whose cause may change while it goes on: the line gives the text of the latest
    // cause and the time the trouble began.
    void Follow(const QString& key, const QString& text, const QDateTime& now);
    // Troubles not seen again in the pass that ends are over.
    void EndPass();

private:
    struct Entry
    {
        QString key;
        QString text;
        QDateTime since;
    };
    using Entries = std::vector<Entry>;
    void Put(const Entry& seen);
    void Show();

    ScanWindow& window_;
    Entries thisPass_;
    Entries lastPass_;
    QString shown_;
};
