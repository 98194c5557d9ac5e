#pragma once
// One 70-byte record of LOGO2.DAT. The layout is fixed for good: files written years ago
// must keep reading back the same, so the bytes are produced field by field, never from
// the struct's memory layout.
//
//   offset size field
//   0      2    Number        (signed 16-bit, little-endian)
//   2      2    Frequency
//   4      2    Timing
//   6      60   Message       (Windows-1252, padded with spaces, no terminator)
//   66     2    TotalMinutes
//   68     2    LastMinutes

#include <QByteArray>
#include <QString>
#include <cstdint>

struct ExerciseRecord {
    static constexpr int Size = 70;
    static constexpr int MessageLength = 60;

    std::int16_t Number = 0;
    std::int16_t Frequency = 0;
    std::int16_t Timing = 0;
    std::int16_t TotalMinutes = 0;
    std::int16_t LastMinutes = 0;

    // Always exactly 60 characters, like a fixed-length string.
    const QString& message() const { return m_message; }
    // Keeps the first 60 characters of a longer text and pads a shorter one with spaces.
    void setMessage(const QString& text);

    QByteArray toBytes() const;
    // Reads the first 70 bytes; missing bytes read as zero.
    static ExerciseRecord fromBytes(const QByteArray& bytes);

    bool operator==(const ExerciseRecord& other) const;

private:
    QString m_message = QString(MessageLength, QLatin1Char(' '));
};

// Windows-1252, the single-byte Western code page files were written in. Every byte maps to
// one character and back; characters the page cannot hold become '?'.
namespace Cp1252 {
QString ToUnicode(const QByteArray& bytes);
QByteArray FromUnicode(const QString& text);
} // namespace Cp1252
