#include "statistics_entry.h"

#include "platform/failure.h"
#include "platform/int16.h"

#include <QRegularExpression>

namespace StatisticsEntry {

int ActivityNumber(const QString& activityText) {
    if (activityText.isEmpty())
        return 0;
    const QChar first = activityText.front();
    if (first < QLatin1Char('1') || first > QLatin1Char('9'))
        return 0;
    return first.unicode() - '0';
}

std::optional<std::int16_t> ConvertMinutes(const QString& text) {
    // ASCII digits only: other scripts' digits and exponents are not minutes anyone types.
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)\\s*$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    // QString reads numbers in the C locale, whatever the user's own decimal separator.
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    try {
        return Int16::FromDouble(value);
    } catch (const Failure&) {
        return std::nullopt;
    }
}

std::optional<std::int16_t> AddToTotal(std::int16_t total, std::int16_t minutes) {
    try {
        return Int16::Add(total, minutes);
    } catch (const Failure&) {
        return std::nullopt;
    }
}

} // namespace StatisticsEntry
