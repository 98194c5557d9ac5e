#include "failure.h"

#include "message_box.h"

namespace {
struct FailureText {
    FailureCode code;
    const char* text;
};

constexpr FailureText kFailureTexts[] = {
    {FailureCode::Overflow, "Overflow"},
    {FailureCode::BadFileNumber, "Bad file name or number"},
    {FailureCode::FileNotFound, "File not found"},
    {FailureCode::DeviceIo, "Device I/O error"},
    {FailureCode::DiskFull, "Disk full"},
    {FailureCode::PermissionDenied, "Permission denied"},
    {FailureCode::PathFileAccess, "Path/File access error"},
    {FailureCode::WindowSystem, "The window system refused the request"},
};
} // namespace

QString FailureDescription(FailureCode code) {
    for (const auto& entry : kFailureTexts)
        if (entry.code == code)
            return QString::fromLatin1(entry.text);
    return QStringLiteral("Application-defined or object-defined error");
}

Failure::Failure(FailureCode code, int osError)
    : m_code(code), m_description(FailureDescription(code)), m_osError(osError) {
    m_what = m_description.toUtf8();
}

Failure::Failure(FailureCode code, const QString& detail, int osError)
    : m_code(code), m_description(FailureDescription(code)), m_osError(osError) {
    if (!detail.isEmpty())
        m_description += QStringLiteral(" (") + detail + QLatin1Char(')');
    m_what = m_description.toUtf8();
}

const char* Failure::what() const noexcept { return m_what.constData(); }

void ShowErrorReport(const QString& procedure, const Failure& failure,
                     const QString& descriptionPrefix) {
    MsgBox(descriptionPrefix + failure.description() + QStringLiteral(", LastDLLError: ") +
               QString::number(failure.osError()),
           MsgStyle::Exclamation,
           QStringLiteral("Error ") + QString::number(failure.number()) + QStringLiteral(" in ") +
               procedure + QStringLiteral(" method!"));
}
