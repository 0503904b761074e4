#pragma once

#include <QString>

#include <utility>
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
    // Troubles not seen again in the pass that ends are over.
    void EndPass();

private:
    using Entries = std::vector<std::pair<QString, QString>>;
    void Show();

    ScanWindow& window_;
    Entries thisPass_;
    Entries lastPass_;
    QString shown_;
};
