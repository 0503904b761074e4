#include "scan_problems.h"

#include "scan_window.h"

#include <QStringList>

#include <algorithm>

namespace {
bool Holds(const std::vector<std::pair<QString, QString>>& entries, const QString& key)
{
    return std::any_of(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
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
    if (Holds(thisPass_, key))
        return;
    // A trouble that goes on keeps the words it was first reported with.
    const auto before =
        std::find_if(lastPass_.begin(), lastPass_.end(), [&](const auto& e) { return e.first == key; });
    thisPass_.emplace_back(key, before == lastPass_.end() ? text : before->second);
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
    for (const auto& [key, text] : thisPass_)
        texts << text;
    for (const auto& [key, text] : lastPass_) {
        if (!Holds(thisPass_, key))
            texts << text;
    }
    const QString now = texts.join(QLatin1Char('\n'));
    if (now == shown_)
        return;
    shown_ = now;
    window_.ShowScanProblem(now);
}
