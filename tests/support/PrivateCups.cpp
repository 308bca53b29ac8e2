#include "PrivateCups.h"

#include "XTest.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cups/cups.h>

#include <algorithm>
#include <cstdio>

namespace kaptivus::test {

namespace {

// The backend: called with no arguments it describes itself; for a job it
// copies the document ($6, or standard input) to the folder of its device URI.
// The copy is renamed into place so that a reader never sees half a file.
const char* const kBackend = R"(#!/bin/sh
if [ $# -eq 0 ]; then echo 'file pdfout "Unknown" "PDF to a folder"'; exit 0; fi
dir=${DEVICE_URI#pdfout:}
if [ -n "$6" ]; then cp "$6" "$dir/.job-$1"; else cat > "$dir/.job-$1"; fi || exit 1
chmod 644 "$dir/.job-$1"
mv "$dir/.job-$1" "$dir/job-$1.pdf"
)";

bool WriteFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

int JobNumber(const QString& file)
{
    static const QRegularExpression number(QStringLiteral("^job-(\\d+)\\.pdf$"));
    const auto m = number.match(file);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Runs a CUPS tool; true when it succeeded. Its chatter is shown only when it fails.
bool Quietly(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && program != QLatin1String("lpstat"))
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), p.readAll().constData());
    return ok;
}

} // namespace

// Under /tmp rather than the test's private temp folder: the scheduler runs
// its helpers and the backend as its unprivileged user, who must be able to
// reach them and the output folder.
PrivateCups::PrivateCups() : m_dir(QStringLiteral("/tmp/kaptivus-cups-XXXXXX"))
{
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
    m_oldServer = qgetenv("CUPS_SERVER");
}

PrivateCups::~PrivateCups()
{
    stop();
    if (m_oldServer.isEmpty())
        qunsetenv("CUPS_SERVER");
    else
        qputenv("CUPS_SERVER", m_oldServer);
    cupsSetServer(nullptr);
}

QString PrivateCups::socket() const { return m_dir.filePath(QStringLiteral("cups.sock")); }
QString PrivateCups::outputDir() const { return m_dir.filePath(QStringLiteral("out")); }

void PrivateCups::writeConfiguration() const
{
    const QString root = m_dir.path();
    QDir dir(root);
    for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out", "ppd", "serverbin/backend"})
        dir.mkpath(QString::fromLatin1(sub));
    // The backend runs as the scheduler's unprivileged user; it must be able to write here.
    for (const char* sub : {"out", "tmp"})
        QFile::setPermissions(dir.filePath(QString::fromLatin1(sub)), QFileDevice::Permissions(0x7777));
    for (const char* sub : {"filter", "daemon", "cgi-bin", "notifier", "monitor", "driver"})
        QFile::link(QStringLiteral("/usr/lib/cups/") + QString::fromLatin1(sub),
                    dir.filePath(QStringLiteral("serverbin/") + QString::fromLatin1(sub)));
    const QString backend = dir.filePath(QStringLiteral("serverbin/backend/pdfout"));
    WriteFile(backend, kBackend);
    QFile::setPermissions(backend, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                       QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther);
    QString conf;
    QTextStream(&conf) << "Listen " << socket() << "\nLogLevel warn\nMaxJobs 0\nPreserveJobFiles No\n"
                       << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                       << "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    WriteFile(dir.filePath(QStringLiteral("cupsd.conf")), conf.toUtf8());
    QString files;
    QTextStream(&files) << "ServerRoot " << root << "\nRequestRoot " << root << "/spool\nTempDir " << root
                        << "/tmp\nCacheDir " << root << "/cache\nStateDir " << root << "/state\nErrorLog " << root
                        << "/log/error_log\nAccessLog " << root << "/log/access_log\nPageLog " << root
                        << "/log/page_log\nFileDevice Yes\nSandboxing Relaxed\nServerBin " << root
                        << "/serverbin\nDataDir /usr/share/cups\n";
    WriteFile(dir.filePath(QStringLiteral("cups-files.conf")), files.toUtf8());
}

bool PrivateCups::start(std::chrono::milliseconds timeout)
{
    if (!m_dir.isValid())
        return false;
    writeConfiguration();
    qputenv("CUPS_SERVER", socket().toLocal8Bit());
    // The client library keeps the server it first used; point it here.
    cupsSetServer(socket().toLocal8Bit().constData());
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.start(QStringLiteral("/usr/sbin/cupsd"),
                  {QStringLiteral("-f"), QStringLiteral("-c"), m_dir.filePath(QStringLiteral("cupsd.conf")),
                   QStringLiteral("-s"), m_dir.filePath(QStringLiteral("cups-files.conf"))});
    if (!m_cupsd.waitForStarted(5000))
        return false;
    return waitUntil([&] { return isRunning() && Quietly(QStringLiteral("lpstat"), {QStringLiteral("-r")}); },
                     timeout);
}

void PrivateCups::stop()
{
    if (!isRunning())
        return;
    m_cupsd.terminate();
    if (!m_cupsd.waitForFinished(5000)) {
        m_cupsd.kill();
        m_cupsd.waitForFinished(2000);
    }
}

// Just after it starts the scheduler may still turn a connection away.
bool PrivateCups::admin(const QStringList& arguments) const
{
    return waitUntil([&] { return Quietly(QStringLiteral("lpadmin"), arguments); }, std::chrono::seconds(10));
}

bool PrivateCups::addQueue(const QString& name, bool makeDefault)
{
    if (!admin({QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                QStringLiteral("pdfout:") + outputDir(), QStringLiteral("-m"),
                QStringLiteral("lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd")}))
        return false;
    return !makeDefault || admin({QStringLiteral("-d"), name});
}

bool PrivateCups::removeQueue(const QString& name) { return admin({QStringLiteral("-x"), name}); }

bool PrivateCups::rejectJobs(const QString& name)
{
    return Quietly(QStringLiteral("cupsreject"), {QStringLiteral("-r"), QStringLiteral("closed for the test"), name});
}

QStringList PrivateCups::jobFiles() const
{
    QStringList files = QDir(outputDir()).entryList({QStringLiteral("job-*.pdf")}, QDir::Files);
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) { return JobNumber(a) < JobNumber(b); });
    for (QString& f : files)
        f = QDir(outputDir()).filePath(f);
    return files;
}

bool PrivateCups::waitForJobs(int count, std::chrono::milliseconds timeout) const
{
    return waitUntil([&] { return jobFiles().size() >= count; }, timeout);
}

QString PrivateCups::errorLog() const
{
    QFile f(m_dir.filePath(QStringLiteral("log/error_log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace kaptivus::test
