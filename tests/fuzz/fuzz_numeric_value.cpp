// The number reader of the configuration boxes on arbitrary text: it must never crash, blanks
// must never matter, and the value check and the save must agree on every text, so that a
// text the check lets through can always be stored unless it lies below 16 bits.
#include "settings/numeric_input.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const double value = NumericValue(text);
    if (std::isnan(value))
        std::abort();

    QString withoutBlanks = text;
    withoutBlanks.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    if (NumericValue(withoutBlanks) != value)
        std::abort();

    const bool exceeds = NumericInput::ExceedsLimit(text);
    const auto stored = NumericInput::StoredValue(text);
    if (exceeds != (value > NumericInput::Limit))
        std::abort();
    if (stored && (*stored > 32767 || std::fabs(*stored - value) > 0.5))
        std::abort();
    if (!exceeds && value >= -32768.0 && !stored)
        std::abort();
    // What the box shows for a stored number reads back as that number.
    if (stored && NumericInput::StoredValue(NumericInput::FormatStored(*stored)) != stored)
        std::abort();

    for (const QChar c : NumericInput::FilterTyped(text)) {
        const int code = c.unicode();
        if (code >= 33 && code <= 125 && (code < '0' || code > '9'))
            std::abort();
    }
    return 0;
}
