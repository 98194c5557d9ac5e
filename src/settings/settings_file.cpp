#include "settings_file.h"

#include "core/module1.h"
#include "platform/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace SettingsFileProtocol {
namespace {
bool g_open = false;

QString currentPath() {
    if (Module1::SettingsPath.isEmpty())
        Module1::SettingsPath = ComposeSettingsPath(Module1::ApplicationFolder());
    return Module1::SettingsPath;
}

FailureCode codeFor(QFileDevice::FileError error) {
    switch (error) {
    case QFileDevice::PermissionsError:
        return FailureCode::PermissionDenied;
    case QFileDevice::ResourceError:
        return FailureCode::DiskFull;
    case QFileDevice::ReadError:
    case QFileDevice::WriteError:
        return FailureCode::DeviceIo;
    default:
        return FailureCode::PathFileAccess;
    }
}

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(codeFor(file.error()), file.errorString(), errno);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Failure(codeFor(file.error()), file.errorString(), errno);
    return bytes;
}

void checkRecordNumber(int recordNumber) {
    if (recordNumber < 1)
        throw Failure(FailureCode::BadFileNumber);
}
} // namespace

QString ComposeSettingsPath(const QString& folder) {
    const bool endsWithSeparator = !folder.isEmpty() && folder.back() == QLatin1Char('/');
    return folder + (endsWithSeparator ? QString() : QStringLiteral("/")) +
           QLatin1String(FileName);
}

void Open() {
    Close();
    Module1::SettingsFile = 1; // every file was just closed, so number 1 is free
    Module1::SettingsPath = ComposeSettingsPath(Module1::ApplicationFolder());
    QFile file(Module1::SettingsPath);
    errno = 0;
    if (!file.open(QIODevice::ReadWrite))
        throw Failure(codeFor(file.error()), file.errorString(), errno);
    g_open = true;
}

void Read(int recordNumber) {
    checkRecordNumber(recordNumber);
    QFile file(currentPath());
    if (!file.exists()) {
        Module1::CurrentRecord = ExerciseRecord::fromBytes({});
        return;
    }
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(codeFor(file.error()), file.errorString(), errno);
    const qint64 offset = qint64(recordNumber - 1) * ExerciseRecord::Size;
    QByteArray bytes;
    if (offset < file.size()) {
        if (!file.seek(offset))
            throw Failure(FailureCode::DeviceIo, file.errorString(), errno);
        bytes = file.read(ExerciseRecord::Size);
        if (file.error() != QFileDevice::NoError)
            throw Failure(codeFor(file.error()), file.errorString(), errno);
    }
    Module1::CurrentRecord = ExerciseRecord::fromBytes(bytes);
}

void Write(int recordNumber) { WriteRecords({{recordNumber, Module1::CurrentRecord}}); }

void WriteRecords(const std::vector<std::pair<int, ExerciseRecord>>& records) {
    for (const auto& entry : records)
        checkRecordNumber(entry.first);
    const QString path = currentPath();
    errno = 0;
    QByteArray bytes = readWholeFile(path);
    for (const auto& [recordNumber, record] : records) {
        const qsizetype offset = qsizetype(recordNumber - 1) * ExerciseRecord::Size;
        if (bytes.size() < offset + ExerciseRecord::Size)
            bytes.append(QByteArray(offset + ExerciseRecord::Size - bytes.size(), '\0'));
        bytes.replace(offset, ExerciseRecord::Size, record.toBytes());
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(codeFor(file.error()), file.errorString(), errno);
    if (file.write(bytes) != bytes.size()) {
        const Failure failure(codeFor(file.error()), file.errorString(), errno);
        file.cancelWriting();
        throw failure;
    }
    if (!file.commit())
        throw Failure(codeFor(file.error()), file.errorString(), errno);
}

void Close() { g_open = false; }

bool IsOpen() { return g_open; }

qint64 Length() {
    QFileInfo info(currentPath());
    return info.exists() ? info.size() : 0;
}

} // namespace SettingsFileProtocol
