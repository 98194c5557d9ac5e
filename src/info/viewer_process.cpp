#include "viewer_process.h"

#include "info/viewer_protocol.h"
#include "platform/message_box.h"

#include <QCoreApplication>
#include <QFileInfo>

ViewerProcess& ViewerProcess::instance() {
    // Lives as long as the process; the viewer is closed when the application quits, and
    // ends by itself with the program otherwise (its input closes, its parent dies).
    static ViewerProcess* viewer = new ViewerProcess;
    return *viewer;
}

ViewerProcess::ViewerProcess() : m_program(defaultProgram()) {
    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &ViewerProcess::closeViewer);
}

ViewerProcess::~ViewerProcess() = default;

QString ViewerProcess::defaultProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/lumivista-viewer");
}

void ViewerProcess::setProgram(const QString& program, const QStringList& arguments) {
    m_program = program;
    m_arguments = arguments;
}

bool ViewerProcess::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

qint64 ViewerProcess::processId() const { return isRunning() ? m_process->processId() : 0; }

bool ViewerProcess::showViewer() {
    if (isRunning()) {
        m_process->write(ViewerProtocol::Raise);
        return true;
    }
    if (m_process) {
        m_process->deleteLater();
        m_process = nullptr;
    }

    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        while (process->canReadLine())
            emit viewerSaid(process->readLine());
    });
    connect(process, &QProcess::finished, this, [this, process] {
        if (process == m_process)
            emit viewerFinished();
    });
    QStringList arguments{QStringLiteral("--parent"),
                          QString::number(QCoreApplication::applicationPid())};
    arguments += m_arguments;
    process->start(m_program, arguments);
    if (!process->waitForStarted(5000)) {
        const QString reason = process->errorString();
        process->deleteLater();
        MsgBox(QStringLiteral("The web page viewer could not be started (%1): %2")
                   .arg(QFileInfo(m_program).fileName(), reason),
               MsgStyle::Exclamation);
        return false;
    }
    m_process = process;
    return true;
}

void ViewerProcess::closeViewer() {
    if (!isRunning())
        return;
    // The end of its input closes the viewer in an orderly way; a viewer that hangs is killed.
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(1500)) {
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}
