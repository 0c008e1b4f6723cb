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

// The value of --scene-graph as the parser will see it, for deciding whether
// probing is needed at all before the parser exists.
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
    if (forced(optionInArguments(argc, argv)) || forced(qEnvironmentVariable(kEnvironment)) || !qtQuickBackend().isEmpty())
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_child = ::fork();
    if (m_child == 0) {
        ::close(fds[0]);
        probeInChild(argc, argv, fds[1]);
    }
    ::close(fds[1]);
    if (m_child < 0)
        ::close(fds[0]);
    else
        m_answer = fds[0];
}

Chooser::~Chooser()
{
    // Never applied (the start ended early): the answer is not wanted.
    if (m_child > 0) {
        ::kill(m_child, SIGKILL);
        collectProbe();
    }
}

Renderer Chooser::collectProbe()
{
    if (m_child <= 0)
        return std::nullopt;
    QByteArray line;
    QDeadlineTimer deadline(kProbeTimeoutMs);
    bool finished = false;
    while (!finished && !deadline.hasExpired()) {
        pollfd readable{m_answer, POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char chunk[256];
        const ssize_t n = ::read(m_answer, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        finished = n <= 0;
        if (n > 0)
            line.append(chunk, int(n));
    }
    if (!finished) {
        qCWarning(lcApp) << "The OpenGL probe gave no answer within" << kProbeTimeoutMs << "ms";
        ::kill(m_child, SIGKILL);
    }
    while (::waitpid(m_child, nullptr, 0) < 0 && errno == EINTR) {
    }
    ::close(m_answer);
    m_child = -1;
    m_answer = -1;
    if (finished && line.startsWith("renderer "))
        return QString::fromUtf8(line.mid(9));
    return std::nullopt;
}

Decision Chooser::apply(const QString& optionValue)
{
    const QString environment = qEnvironmentVariable(kEnvironment);
    for (const QString& value : {optionValue, environment}) {
        if (!value.isEmpty() && !forced(value))
            qCWarning(lcApp).noquote() << "Unknown scene graph" << value << "(software or opengl): ignored";
    }
    const Decision decision = decide(optionValue, environment, qtQuickBackend(), collectProbe());
    const char* name = "left to Qt";
    if (decision.backend == Backend::Software) {
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
        name = "software";
    } else if (decision.backend == Backend::OpenGL) {
        // Qt's own variables would otherwise still pick another one.
        qunsetenv("QT_QUICK_BACKEND");
        qunsetenv("QMLSCENE_DEVICE");
        name = "OpenGL";
    }
    qCDebug(lcApp).noquote() << "Scene graph:" << name << "(" + decision.reason + ")";
    return decision;
}

} // namespace scenegraph
