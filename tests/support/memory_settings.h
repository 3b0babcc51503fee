#pragma once

#include "platform/settings_store.h"

#include <QList>
#include <QMap>
#include <QPair>

namespace rv::test {

// A settings store held in memory; records every write in order.
class MemorySettings : public SettingsStore {
public:
    struct Write {
        QString section;
        QString key;
        QString value;
    };

    QString GetSetting(const QString& section, const QString& key,
                       const QString& defaultText) override {
        return values.value({section, key}, defaultText);
    }
    void SaveSetting(const QString& section, const QString& key, const QString& value) override {
        values.insert({section, key}, value);
        writes.append({section, key, value});
    }

    bool contains(const QString& section, const QString& key) const {
        return values.contains({section, key});
    }

    QMap<QPair<QString, QString>, QString> values;
    QList<Write> writes;
};

} // namespace rv::test
