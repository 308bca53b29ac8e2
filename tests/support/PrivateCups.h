// A print system of the test's own: a CUPS scheduler started in the foreground
// from a temporary folder (its configuration, spool, logs and a listening
// socket there), with PDF queues whose backend copies each job into an output
// folder as job-<id>.pdf. CUPS_SERVER points this process (and the programs it
// starts) at the socket. Needs no system service and touches nothing outside
// the folder.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>

namespace kaptivus::test {

class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts the scheduler and waits until it answers.
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Ends the scheduler; the socket stays behind, unanswered.
    void stop();
    bool isRunning() const { return m_cupsd.state() != QProcess::NotRunning; }

    // A PDF queue at 600 dpi on Letter paper; the default queue when asked.
    bool addQueue(const QString& name, bool makeDefault = false);
    bool removeQueue(const QString& name);
    // The queue keeps its place but refuses new jobs.
    bool rejectJobs(const QString& name);

    QString socket() const;
    QString outputDir() const;
    // The finished PDFs in the output folder, by job number.
    QStringList jobFiles() const;
    bool waitForJobs(int count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    // The scheduler's error log, for failure messages.
    QString errorLog() const;

private:
    bool admin(const QStringList& arguments) const;
    void writeConfiguration() const;

    QTemporaryDir m_dir;
    QProcess m_cupsd;
    QByteArray m_oldServer;
};

} // namespace kaptivus::test
