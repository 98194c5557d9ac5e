// Reading records from arbitrary bytes must never crash, and whatever is read must write
// back to the same bytes: LOGO2.DAT files from anywhere are taken as they come.
#include "settings/exercise_record.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ExerciseRecord record = ExerciseRecord::fromBytes(bytes);
    QByteArray expected = bytes.left(ExerciseRecord::Size);
    expected.append(QByteArray(ExerciseRecord::Size - expected.size(), '\0'));
    if (record.toBytes() != expected)
        std::abort();
    if (record.message().size() != ExerciseRecord::MessageLength)
        std::abort();
    // Arbitrary text is also safe to store: cut or padded to 60, then read back unchanged.
    ExerciseRecord fromText;
    fromText.setMessage(QString::fromUtf8(bytes));
    const ExerciseRecord again = ExerciseRecord::fromBytes(fromText.toBytes());
    if (again.toBytes() != fromText.toBytes())
        std::abort();
    return 0;
}
