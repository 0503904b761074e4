#include "scan_problems.h"

#include "scan_window.h"

#include <QStringList>

#include <algorithm>

namespace {
template <class Entries> auto Find(Entries& entries, const QString& key)
{
    return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.key == key; });
}

template <class Entries> bool Holds(const Entries& entries, const QString& key)
{
    return Find(entries, key) != entries.end();
}
} // namespace

void ScanProblems::Clear()
{
    thisPass_.clear();
    lastPass_.clear();
    shown_.clear();
}

void ScanProblems::Raise(const QString& key, const QString& text)
{
    Put({key, text, {}});
}

void ScanProblems::Follow(const QString& key, const QString& text, const QDateTime& now)
{
    Put({key, text, now});
}

// Without a time the trouble keeps the words it was first reported with; with one, it takes
// those of its latest cause and keeps its start.
void ScanProblems::Put(const Entry& seen)
{
    auto entry = Find(thisPass_, seen.key);
    if (entry == thisPass_.end()) {
        const auto before = Find(lastPass_, seen.key);
        entry = thisPass_.insert(thisPass_.end(), before == lastPass_.end() ? seen : *before);
    }
    if (seen.since.isValid())
        entry->text = seen.text;
    Show();
}

void ScanProblems::EndPass()
{
    lastPass_ = std::move(thisPass_);
    thisPass_.clear();
    Show();
}

void ScanProblems::Show()
{
    // Until this pass has passed it by, a trouble of the last pass may still be there.
    QStringList texts;
    const auto textOf = [](const Entry& e) {
        return e.since.isValid()
                   ? QStringLiteral("%1 (από τις %2)").arg(e.text, e.since.toString(u"HH:mm:ss"))
                   : e.text;
    };
    for (const Entry& e : thisPass_)
        texts << textOf(e);
    for (const Entry& e : lastPass_) {
        if (!Holds(thisPass_, e.key))
            texts << textOf(e);
    }
    const QString now = texts.join(QLatin1Char('\n'));
    if (now == shown_)
        return;
    shown_ = now;
    window_.ShowScanProblem(now);
}
