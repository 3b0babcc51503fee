#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace rv {

// What a person can be found by when a name is typed: their display name, e-mail addresses and
// user name.
struct NameKeys {
    QString displayName;
    QStringList emails;
    QString userName;
};

// The one person a typed name means, as every calendar service resolves names: the only entry
// equal to the text (case ignored) as display name, e-mail address or user name, else the only
// entry whose display name or e-mail address starts with it. The entry's index, or -1 when none
// or several match. sameEntry tells entries listed twice apart from different ones.
template <class SameEntry>
int matchName(const std::vector<NameKeys>& entries, const QString& name, SameEntry sameEntry) {
    const QString text = name.trimmed();
    if (text.isEmpty())
        return -1;
    const auto equal = [&](const QString& s) {
        return !s.isEmpty() && s.compare(text, Qt::CaseInsensitive) == 0;
    };
    const auto starts = [&](const QString& s) { return s.startsWith(text, Qt::CaseInsensitive); };
    const auto anyOf = [](const QStringList& list, const auto& test) {
        for (const QString& s : list)
            if (test(s))
                return true;
        return false;
    };
    const auto onlyOne = [&](const std::vector<int>& found) {
        for (const int i : found)
            if (!sameEntry(i, found.front()))
                return -1;
        return found.empty() ? -1 : found.front();
    };

    std::vector<int> exact;
    std::vector<int> prefix;
    for (int i = 0; i < int(entries.size()); ++i) {
        const NameKeys& e = entries[i];
        if (equal(e.displayName) || equal(e.userName) || anyOf(e.emails, equal))
            exact.push_back(i);
        else if (starts(e.displayName) || anyOf(e.emails, starts))
            prefix.push_back(i);
    }
    return !exact.empty() ? onlyOne(exact) : onlyOne(prefix);
}

inline int matchName(const std::vector<NameKeys>& entries, const QString& name) {
    return matchName(entries, name, [](int a, int b) { return a == b; });
}

} // namespace rv
