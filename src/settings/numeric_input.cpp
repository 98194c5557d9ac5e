#include "numeric_input.h"

#include "platform/failure.h"
#include "platform/int16.h"

#include <QLocale>
#include <QStringList>
#include <string>

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
} // namespace

double NumericValue(const QString& text) {
    // Gather the number's characters, blanks dropped, then convert them in one go so the
    // rounding is that of one correctly rounded conversion.
    std::string number;
    enum class Stage { Sign, Mantissa, ExponentSign, ExponentDigits } stage = Stage::Sign;
    bool sawDigit = false;
    bool sawPoint = false;
    bool sawExponentDigit = false;
    std::string exponent;
    for (const QChar c : text) {
        if (isBlank(c))
            continue;
        if (stage == Stage::Sign) {
            stage = Stage::Mantissa;
            if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
                number += char(c.unicode());
                continue;
            }
        }
        if (stage == Stage::Mantissa) {
            if (isDigit(c)) {
                sawDigit = true;
                number += char(c.unicode());
                continue;
            }
            if (c == QLatin1Char('.') && !sawPoint) {
                sawPoint = true;
                number += '.';
                continue;
            }
            if ((c == QLatin1Char('E') || c == QLatin1Char('e')) && sawDigit) {
                stage = Stage::ExponentSign;
                continue;
            }
            break;
        }
        if (stage == Stage::ExponentSign) {
            stage = Stage::ExponentDigits;
            if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
                exponent += char(c.unicode());
                continue;
            }
        }
        if (stage == Stage::ExponentDigits) {
            if (!isDigit(c))
                break;
            sawExponentDigit = true;
            exponent += char(c.unicode());
        }
    }
    if (!sawDigit)
        return 0.0;
    // An "E" without digits after it adds nothing.
    if (sawExponentDigit)
        number += 'e' + exponent;
    // The C locale: correctly rounded, the decimal point always '.', an overflow is an
    // infinity and an underflow 0.
    const double value = QLocale::c().toDouble(QString::fromLatin1(number));
    return value == 0.0 ? 0.0 : value;
}

std::int16_t SaisieNumerique(std::int16_t keyAscii) {
    if (keyAscii >= 33 && keyAscii <= 125 && !(keyAscii >= '0' && keyAscii <= '9'))
        return 0;
    return keyAscii;
}

namespace NumericInput {

bool ExceedsLimit(const QString& text) { return NumericValue(text) > Limit; }

std::optional<std::int16_t> StoredValue(const QString& text) {
    try {
        return Int16::FromDouble(NumericValue(text));
    } catch (const Failure&) {
        return std::nullopt;
    }
}

QString FilterTyped(const QString& typed) {
    QString kept;
    for (const QChar c : typed) {
        // Characters beyond 16 bits of code never fall into the filtered range.
        const int code = c.unicode();
        if (code > 125 || SaisieNumerique(std::int16_t(code)) != 0)
            kept += c;
    }
    return kept;
}

QString FormatStored(std::int16_t value) {
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

} // namespace NumericInput

namespace NumberMeaning {
namespace {

QString count(qint64 n, const char* unit) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(unit) +
           (n == 1 ? QString() : QStringLiteral("s"));
}

// The whole value the box would save, or nothing for a text that cannot be saved.
std::optional<qint64> boxValue(const QString& text) {
    const auto stored = NumericInput::StoredValue(text);
    if (!stored)
        return std::nullopt;
    return qint64(*stored);
}

} // namespace

QString Duration(qint64 tenths) {
    const qint64 hours = tenths / 36000;
    const qint64 minutes = tenths % 36000 / 600;
    const qint64 rest = tenths % 600; // tenths of a second within the minute
    QStringList parts;
    if (hours)
        parts << count(hours, "hour");
    if (minutes)
        parts << count(minutes, "minute");
    if (rest || parts.isEmpty()) {
        if (rest % 10 == 0)
            parts << count(rest / 10, "second");
        else
            parts << QString::number(rest / 10) + QLatin1Char('.') + QString::number(rest % 10) +
                         QStringLiteral(" seconds");
    }
    return parts.join(QLatin1Char(' '));
}

QString Frequency(const QString& text) {
    QString words =
        QStringLiteral("Frequency: how many 10-second periods pass between two showings");
    const auto value = boxValue(text);
    if (value && *value > 0)
        words += QStringLiteral("; %1 = every %2").arg(*value).arg(Duration(*value * 100));
    return words + QStringLiteral("; 0 = never");
}

QString Timing(const QString& text) {
    QString words =
        QStringLiteral("Timing: how many 0.3-second periods each animation stays on display");
    const auto value = boxValue(text);
    if (value && *value > 0)
        words += QStringLiteral("; %1 = %2").arg(*value).arg(Duration(*value * 3));
    return words + QStringLiteral("; 0 = never shown");
}

} // namespace NumberMeaning
