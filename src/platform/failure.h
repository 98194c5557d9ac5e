#pragma once
// Failures carry a number and a description, like the run-time errors the handlers report
// through the common error report ("Error N in X method!").

#include <QString>
#include <exception>

enum class FailureCode : int {
    Overflow = 6,
    BadFileNumber = 52,
    FileNotFound = 53,
    DeviceIo = 57,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccess = 75,
    WindowSystem = 380,
};

class Failure : public std::exception {
public:
    explicit Failure(FailureCode code, int osError = 0);
    Failure(FailureCode code, const QString& detail, int osError = 0);

    int number() const { return static_cast<int>(m_code); }
    FailureCode code() const { return m_code; }
    QString description() const { return m_description; }
    // The operating system's error code at the time of the failure (errno), 0 when none.
    int osError() const { return m_osError; }
    const char* what() const noexcept override;

private:
    FailureCode m_code;
    QString m_description;
    int m_osError;
    QByteArray m_what;
};

// The fixed wording of every failure number, kept in one table.
QString FailureDescription(FailureCode code);

// Shows the common error report: style MsgStyle::Exclamation, title "Error N in <procedure>
// method!", text "<prefix><description>, LastDLLError: <code>".
void ShowErrorReport(const QString& procedure, const Failure& failure,
                     const QString& descriptionPrefix = QStringLiteral("Desc: "));
