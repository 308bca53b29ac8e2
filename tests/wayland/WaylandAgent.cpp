// Starting and watching the real agent on the test's compositor.
#include "WaylandAgent.h"

#include "SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace kaptivus::test {
namespace {

// True when some process listens on the Unix socket at `path`.
bool listensAt(const QString& path)
{
    QFile table("/proc/net/unix");
    if (!table.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        constexpr unsigned acceptsConnections = 0x10000;
        if (fields.size() >= 8 && fields[7] == path.toLocal8Bit()
            && (fields[3].toUInt(nullptr, 16) & acceptsConnections) != 0)
            return true;
    }
    return false;
}

} // namespace

WaylandAgent::WaylandAgent(const std::vector<std::pair<QString, QString>>& settings, const QProcessEnvironment& env)
    : m_env(env)
{
    m_env.insert("XDG_CONFIG_HOME", m_config.path());
    QDir(m_config.path()).mkpath("Kaptivus2000");
    QFile file(QDir(m_config.path()).filePath("Kaptivus2000/registry.reg"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    // A complete key, so that the agent starts without telling of values it had to reset.
    std::vector<std::pair<std::string, std::string>> values {
        { "AutoFolder", '"' + m_folder.path().toStdString() + '"' }, { "Sound", "dword:00000000" }
    };
    for (const auto& [name, value] : settings)
        values.emplace_back(name.toStdString(), value.toStdString());
    file.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\r\n");
    file.write(e2e::defaultSettingsBody(values).c_str());
}

WaylandAgent::~WaylandAgent()
{
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool WaylandAgent::start()
{
    m_process.setProcessEnvironment(m_env);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(agentProgram(), {});
    // The state is known only once the start is confirmed; nothing here runs an event loop.
    m_process.waitForStarted(5000);
    // The command socket is named after the Wayland display, beside the lock.
    const QString socket
        = QDir(m_env.value("XDG_RUNTIME_DIR")).filePath("Kaptivus_v5." + m_env.value("WAYLAND_DISPLAY") + ".sock");
    const bool listening
        = waitUntil([&] { return listensAt(socket) || m_process.state() == QProcess::NotRunning; }, 15s)
        && m_process.state() == QProcess::Running;
    if (!listening) {
        m_errors += QString("%1 did not start (%2, exit code %3): ")
                        .arg(agentProgram(), m_process.errorString())
                        .arg(m_process.exitStatus() == QProcess::CrashExit ? -1 : m_process.exitCode())
                        .toLocal8Bit();
    }
    return listening;
}

void WaylandAgent::launch(QProcess& process, const QStringList& args) const
{
    process.setProcessEnvironment(m_env);
    process.start(agentProgram(), args);
}

int WaylandAgent::capture(int action, QString* said)
{
    QProcess run;
    launch(run, { "--capture", QString::number(action) });
    if (!run.waitForFinished(15000)) {
        run.kill();
        run.waitForFinished(5000);
        return -1;
    }
    if (said) *said = QString::fromLocal8Bit(run.readAllStandardError());
    return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
}

QString WaylandAgent::errors()
{
    // Without an event loop the pipe is read only when asked to wait for it.
    m_process.setReadChannel(QProcess::StandardError);
    if (m_process.state() == QProcess::Running) m_process.waitForReadyRead(50);
    m_errors += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_errors);
}

QStringList WaylandAgent::files() const
{
    return QDir(m_folder.path()).entryList(QDir::Files);
}

QImage WaylandAgent::picture() const
{
    const QStringList names = files();
    return names.size() == 1 ? QImage(QDir(m_folder.path()).filePath(names.first())) : QImage();
}

QImage expectedDesktop(double* scaleOut)
{
    struct Place {
        platform::ScreenRect logical;
        QImage shot;
    };
    std::vector<Place> places;
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    double scale = 0;
    for (const QJsonValue& value : swayQuery("get_outputs").array()) {
        const QJsonObject o = value.toObject();
        const Place p { jsonRect(o.value("rect")), grim(o.value("name").toString()) };
        if (p.shot.isNull() || p.logical.isEmpty()) return {};
        left = std::min(left, p.logical.left);
        top = std::min(top, p.logical.top);
        right = std::max(right, p.logical.right());
        bottom = std::max(bottom, p.logical.bottom());
        // Device pixels per logical pixel, whatever sway's scale says.
        scale = std::max(scale, double(p.shot.width()) / p.logical.width);
        places.push_back(p);
    }
    if (places.empty()) return {};
    const auto device = [scale](int logical) { return int(std::lround(logical * scale)); };
    QImage desktop(device(right) - device(left), device(bottom) - device(top), QImage::Format_RGB32);
    desktop.fill(Qt::black);
    for (const Place& p : places) {
        const int factor = int(std::lround(p.logical.width * scale / p.shot.width()));
        const int x0 = device(p.logical.left) - device(left);
        const int y0 = device(p.logical.top) - device(top);
        for (int y = 0; y < p.shot.height() * factor; ++y) {
            auto* line = reinterpret_cast<QRgb*>(desktop.scanLine(y0 + y));
            for (int x = 0; x < p.shot.width() * factor; ++x)
                line[x0 + x] = 0xFF000000u | rgbAt(p.shot, x / factor, y / factor);
        }
    }
    if (scaleOut) *scaleOut = scale;
    return desktop;
}

} // namespace kaptivus::test
