#include "PropertyBag.h"

#include <cmath>
#include <limits>
#include <optional>

#include "Errors.h"

namespace tinko {

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const {
    const auto found = entries_.find(name.toCaseFolded());
    return found == entries_.end() ? defaultValue : found->second.value;
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value) {
    auto [it, inserted] = entries_.try_emplace(name.toCaseFolded(), Entry{name, value});
    if (!inserted) {
        it->second.value = value;
    }
}

bool PropertyBag::contains(const QString& name) const {
    return entries_.count(name.toCaseFolded()) != 0;
}

QStringList PropertyBag::names() const {
    QStringList result;
    for (const auto& entry : entries_) {
        result << entry.second.name;
    }
    return result;
}

namespace {

QString describe(const QVariant& value) {
    return QStringLiteral("'%1' (%2)").arg(value.toString(), QString::fromLatin1(value.typeName()));
}

// A number written as text: decimal with an optional sign, fraction and
// exponent, or hexadecimal as &H1F. Surrounding blanks are allowed.
std::optional<double> parseNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        bool ok = false;
        const qlonglong hex = trimmed.mid(2).toLongLong(&ok, 16);
        if (ok) {
            return static_cast<double>(hex);
        }
        return std::nullopt;
    }
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (ok && std::isfinite(number)) {
        return number;
    }
    return std::nullopt;
}

std::optional<double> numberOf(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Double:
        case QMetaType::Float:
            return value.toDouble();
        case QMetaType::QString:
        case QMetaType::QByteArray:
            return parseNumber(value.toString());
        default:
            return std::nullopt;
    }
}

}  // namespace

bool toBoolean(const QVariant& value) {
    if (!value.isValid()) {
        return false;
    }
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            return true;
        }
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    if (const auto number = numberOf(value)) {
        // Not a number, or infinite: out of range, as for an integer.
        if (!std::isfinite(*number)) {
            throw OverflowError(describe(value).toStdString() + " 不是有限的数");
        }
        return *number != 0.0;
    }
    throw ConversionError("无法把 " + describe(value).toStdString() + " 转换为布尔值");
}

std::int32_t toInt32(const QVariant& value) {
    if (!value.isValid()) {
        return 0;
    }
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? -1 : 0;  // True is all bits set
    }
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
            return -1;
        }
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
            return 0;
        }
    }
    const auto number = numberOf(value);
    if (!number) {
        throw ConversionError("无法把 " + describe(value).toStdString() + " 转换为 32 位整数");
    }
    // Fractions round to the nearest integer, halves to the even one.
    const double rounded = std::nearbyint(*number);
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        // Out of range, infinite, or not a number at all.
        throw OverflowError(describe(value).toStdString() + " 超出 32 位整数的范围");
    }
    return static_cast<std::int32_t>(rounded);
}

}  // namespace tinko
