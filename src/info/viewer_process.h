#pragma once
// The web page viewer runs in a process of its own (lumivista-viewer beside the executable).
// ViewerProcess starts it, asks the running one to come to the front, and closes it when the
// program ends. One viewer at a time.

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

class ViewerProcess : public QObject {
    Q_OBJECT
public:
    static ViewerProcess& instance();

    // Opens the viewer, or brings the running one to the front. A viewer that cannot be
    // started is reported in a message box; returns whether a viewer is running.
    bool showViewer();
    bool isRunning() const;
    // Closes the viewer, if any, and waits for it to be gone.
    void closeViewer();
    qint64 processId() const;

    // The viewer program and extra arguments (tests serve their own pages).
    void setProgram(const QString& program, const QStringList& arguments = {});
    QString program() const { return m_program; }
    static QString defaultProgram();

signals:
    // A line the viewer wrote on its standard output ("shown", "raised").
    void viewerSaid(const QByteArray& line);
    void viewerFinished();

private:
    ViewerProcess();
    ~ViewerProcess() override;

    QProcess* m_process = nullptr;
    QString m_program;
    QStringList m_arguments;
};
