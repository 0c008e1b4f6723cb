#include "app/scenegraph.h"

#include "app/logging.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace scenegraph {
namespace {

const char kOptionName[] = "scene-graph";
const char kEnvironment[] = "KESTRIX_SCENE_GRAPH";
// How long the start waits for the probe; a driver that hangs longer is
// taken for a broken one.
constexpr int kProbeTimeoutMs = 3000;
const char kRounding[] = "QT_SCALE_FACTOR_ROUNDING_POLICY";

std::optional<Backend> forced(const QString& value)
{
    if (value.compare(QLatin1String("software"), Qt::CaseInsensitive) == 0)
        return Backend::Software;
    if (value.compare(QLatin1String("opengl"), Qt::CaseInsensitive) == 0)
        return Backend::OpenGL;
    return std::nullopt;
}

QString qtQuickBackend()
{
    const QString backend = qEnvironmentVariable("QT_QUICK_BACKEND");
    return backend.isEmpty() ? qEnvironmentVariable("QMLSCENE_DEVICE") : backend;
}

// The value of --scene-graph as the parser will see it (which accepts the
// option so that it is no error), read before the parser exists.
QString optionInArguments(int argc, char** argv)
{
    const QString name = QStringLiteral("--") + QLatin1String(kOptionName);
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == name && i + 1 < argc)
            return QString::fromLocal8Bit(argv[i + 1]);
        if (argument.startsWith(name + QLatin1Char('=')))
            return argument.mid(name.size() + 1);
    }
    return QString();
}

// The child: a GUI application of its own, one OpenGL context, its renderer's
// name on the pipe ("renderer <name>", or "none" without OpenGL), and out
// without running any destructor of the parent's state.
[[noreturn]] void probeInChild(int argc, char** argv, int answer)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QByteArray line = "none";
    QGuiApplication application(argc, argv);
    QOpenGLContext context;
    QOffscreenSurface surface;
    if (context.create()) {
        surface.setFormat(context.format());
        surface.create();
        if (context.makeCurrent(&surface)) {
            const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
            line = QByteArray("renderer ") + (name ? name : "");
        }
    }
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(answer, line.constData() + written, size_t(line.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    ::_exit(0);
}

// The renderer's name from a forked child, or nothing (with the reason in
// @p warnings when the probe itself failed).
Renderer probe(int argc, char** argv, QStringList& warnings)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        warnings << QStringLiteral("The OpenGL probe could not start: ") + QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        probeInChild(argc, argv, fds[1]);
    }
    ::close(fds[1]);
    if (child < 0) {
        warnings << QStringLiteral("The OpenGL probe could not start: ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(fds[0]);
        return std::nullopt;
    }
    QByteArray line;
    QDeadlineTimer deadline(kProbeTimeoutMs);
    bool finished = false;
    while (!finished && !deadline.hasExpired()) {
        pollfd readable{fds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char chunk[256];
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        finished = n <= 0;
        if (n > 0)
            line.append(chunk, int(n));
    }
    if (!finished) {
        warnings << QStringLiteral("The OpenGL probe gave no answer within %1 ms").arg(kProbeTimeoutMs);
        ::kill(child, SIGKILL);
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    ::close(fds[0]);
    if (finished && line.startsWith("renderer "))
        return QString::fromUtf8(line.mid(9));
    return std::nullopt;
}

} // namespace

Decision decide(const QString& option, const QString& environment, const QString& qtQuickBackend,
                const Renderer& renderer)
{
    if (const auto backend = forced(option))
        return {*backend, QStringLiteral("--%1 %2").arg(QLatin1String(kOptionName), option)};
    if (const auto backend = forced(environment))
        return {*backend, QStringLiteral("%1=%2").arg(QLatin1String(kEnvironment), environment)};
    if (!qtQuickBackend.isEmpty())
        return {Backend::LeftToQt, QStringLiteral("QT_QUICK_BACKEND=") + qtQuickBackend};
    if (!renderer)
        return {Backend::Software, QStringLiteral("no OpenGL")};
    static const QRegularExpression softwareRasterizer(QStringLiteral(R"(\b(llvmpipe|softpipe|swrast)\b|software rasterizer)"),
                                                       QRegularExpression::CaseInsensitiveOption);
    if (renderer->isEmpty() || softwareRasterizer.match(*renderer).hasMatch())
        return {Backend::Software, QStringLiteral("OpenGL renderer \"%1\" is a software rasterizer").arg(*renderer)};
    return {Backend::OpenGL, QStringLiteral("OpenGL renderer \"%1\"").arg(*renderer)};
}

QCommandLineOption option()
{
    return QCommandLineOption(QLatin1String(kOptionName), QString(), QStringLiteral("software|opengl"));
}

Chooser::Chooser(int argc, char** argv)
{
    const QString option = optionInArguments(argc, argv);
    const QString environment = qEnvironmentVariable(kEnvironment);
    for (const QString& value : {option, environment}) {
        if (!value.isEmpty() && !forced(value))
            m_warnings << QStringLiteral("Unknown scene graph %1 (software or opengl): ignored").arg(value);
    }
    Renderer renderer;
    if (!forced(option) && !forced(environment) && qtQuickBackend().isEmpty())
        renderer = probe(argc, argv, m_warnings);
    m_decision = decide(option, environment, qtQuickBackend(), renderer);
    if (m_decision.backend == Backend::Software) {
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
        if (!qEnvironmentVariableIsSet(kRounding)) {
            // Read by the application object's constructor, where it overrides
            // the policy the application sets; dropped again in apply().
            qputenv(kRounding, "RoundPreferFloor");
            m_roundingSet = true;
        }
    } else if (m_decision.backend == Backend::OpenGL) {
        // Qt's own variables would otherwise still pick another one.
        qunsetenv("QT_QUICK_BACKEND");
        qunsetenv("QMLSCENE_DEVICE");
    }
}

void Chooser::apply()
{
    if (m_roundingSet)
        qunsetenv(kRounding);
    m_roundingSet = false;
    for (const QString& warning : qAsConst(m_warnings))
        qCWarning(lcApp).noquote() << warning;
    m_warnings.clear();
    const char* name = m_decision.backend == Backend::Software ? "software"
                       : m_decision.backend == Backend::OpenGL ? "OpenGL" : "left to Qt";
    qCDebug(lcApp).noquote() << "Scene graph:" << name << "(" + m_decision.reason + ")";
}

} // namespace scenegraph
