#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>

namespace tinko {

// Named values that a host keeps for one control and hands to it when the
// control is loaded and saved. Names are matched without regard to letter
// case; a name keeps the spelling it was first written with.
class PropertyBag {
public:
    // The value stored under `name`, or `defaultValue` when there is none.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = QVariant()) const;

    // Stores `value` under `name`, replacing a value stored under any
    // spelling of that name.
    void WriteProperty(const QString& name, const QVariant& value);

    bool contains(const QString& name) const;
    QStringList names() const;

private:
    struct Entry {
        QString name;
        QVariant value;
    };
    std::map<QString, Entry> entries_;  // keyed by the case-folded name
};

// Conversions of stored values, as a loading control applies them. Booleans,
// numbers and their spellings in text convert; anything else raises
// ConversionError, and a number that is not finite or (as an integer) outside
// the 32-bit range OverflowError.
bool toBoolean(const QVariant& value);
std::int32_t toInt32(const QVariant& value);

}  // namespace tinko
