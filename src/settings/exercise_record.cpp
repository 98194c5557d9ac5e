#include "exercise_record.h"

namespace {
// Code points of bytes 0x80..0x9F. The five bytes Windows leaves undefined map to the C1
// control characters of the same value so that any file reads back byte for byte.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char byteFor(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == unit)
            return static_cast<char>(0x80 + i);
    return '?';
}

void putInt16(QByteArray& out, int offset, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    out[offset] = static_cast<char>(bits & 0xFF);
    out[offset + 1] = static_cast<char>(bits >> 8);
}

std::int16_t getInt16(const QByteArray& in, int offset) {
    const auto lo = static_cast<std::uint8_t>(in[offset]);
    const auto hi = static_cast<std::uint8_t>(in[offset + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}
} // namespace

namespace Cp1252 {
QString ToUnicode(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        text.append(QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b)));
    }
    return text;
}

QByteArray FromUnicode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one character outside the page, one '?'
        bytes.append(byteFor(ch.unicode()));
    }
    return bytes;
}
} // namespace Cp1252

void ExerciseRecord::setMessage(const QString& text) {
    m_message = text.left(MessageLength);
    if (m_message.size() < MessageLength)
        m_message += QString(MessageLength - m_message.size(), QLatin1Char(' '));
}

QByteArray ExerciseRecord::toBytes() const {
    QByteArray out(Size, '\0');
    putInt16(out, 0, Number);
    putInt16(out, 2, Frequency);
    putInt16(out, 4, Timing);
    const QByteArray text = Cp1252::FromUnicode(m_message);
    for (int i = 0; i < MessageLength; ++i)
        out[6 + i] = i < text.size() ? text[i] : ' ';
    putInt16(out, 66, TotalMinutes);
    putInt16(out, 68, LastMinutes);
    return out;
}

ExerciseRecord ExerciseRecord::fromBytes(const QByteArray& bytes) {
    QByteArray in = bytes.left(Size);
    if (in.size() < Size)
        in.append(QByteArray(Size - in.size(), '\0'));
    ExerciseRecord r;
    r.Number = getInt16(in, 0);
    r.Frequency = getInt16(in, 2);
    r.Timing = getInt16(in, 4);
    r.m_message = Cp1252::ToUnicode(in.mid(6, MessageLength));
    r.TotalMinutes = getInt16(in, 66);
    r.LastMinutes = getInt16(in, 68);
    return r;
}

bool ExerciseRecord::operator==(const ExerciseRecord& o) const {
    return Number == o.Number && Frequency == o.Frequency && Timing == o.Timing &&
           m_message == o.m_message && TotalMinutes == o.TotalMinutes &&
           LastMinutes == o.LastMinutes;
}
