#pragma once

#include "platform/machine_registry.h"

#include <QList>
#include <QMap>
#include <QPair>

namespace rv::test {

// A machine registry holding the values a test puts in; records every look-up in order.
class RecordingMachineRegistry : public MachineRegistry {
public:
    std::optional<RawValue> queryValue(const QString& keyPath, const QString& valueName) override {
        queries.append({keyPath, valueName});
        const auto it = values.constFind({keyPath, valueName});
        if (it == values.constEnd())
            return std::nullopt;
        return *it;
    }

    // A string value as the registry stores it, with or without its terminating zero.
    void setString(const QString& keyPath, const QString& valueName, const QString& text,
                   bool withTerminatingZero = true) {
        QByteArray bytes = text.toUtf8();
        if (withTerminatingZero)
            bytes.append('\0');
        values.insert({keyPath, valueName}, RawValue{kString, bytes});
    }

    QMap<QPair<QString, QString>, RawValue> values;
    QList<QPair<QString, QString>> queries;
};

} // namespace rv::test
