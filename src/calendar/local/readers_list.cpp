#include "calendar/local/readers_list.h"

namespace rv {

ReadersList ReadersList::parse(const QByteArray& text) {
    ReadersList list;
    for (const QString& raw : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            list.entries_ << line;
    }
    return list;
}

bool ReadersList::allows(const QStringList& readerNames) const {
    for (const QString& entry : entries_) {
        if (entry == QLatin1String("*"))
            return true;
        for (const QString& name : readerNames)
            if (!name.isEmpty() && entry.compare(name, Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

} // namespace rv
