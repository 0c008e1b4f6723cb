#pragma once

#include <QCommandLineOption>
#include <QString>

#include <optional>
#include <sys/types.h>

/// Which scene graph draws the window. Under a software OpenGL rasterizer
/// (Mesa's llvmpipe, softpipe, swrast) or without OpenGL, Qt Quick's
/// software scene graph redraws only what changed; OpenGL there would
/// rasterize the whole window on the CPU every frame. With a real GPU the
/// window keeps OpenGL.
///
/// The choice, first match wins: the option `--scene-graph software|opengl`,
/// the environment variable KESTRIX_SCENE_GRAPH (same values), Qt's own
/// QT_QUICK_BACKEND (left to Qt), else the OpenGL renderer's name.
namespace scenegraph {

enum class Backend {
    OpenGL,
    Software,
    LeftToQt,   ///< QT_QUICK_BACKEND is set: Qt chooses as it always does
};

struct Decision {
    Backend backend;
    QString reason;
};

/// The probe's finding: the OpenGL renderer's name, or nothing when no
/// OpenGL context could be made (or the probe failed).
using Renderer = std::optional<QString>;

/// The decision for the given option value, KESTRIX_SCENE_GRAPH and
/// QT_QUICK_BACKEND values (empty when not given) and what the probe found.
Decision decide(const QString& option, const QString& environment, const QString& qtQuickBackend,
                const Renderer& renderer);

/// `--scene-graph <software|opengl>`.
QCommandLineOption option();

/// The OpenGL probe and the choice. Construct it before the application
/// object exists, while the process has one thread: it forks a child that
/// makes an OpenGL context, reads the renderer's name and ends, so the
/// driver (llvmpipe maps and touches about 60 MB) is never loaded into this
/// process unless the window uses it. The child runs while the program
/// starts up; apply() collects its answer.
class Chooser {
public:
    /// Starts the probe unless the command line or the environment already
    /// force the choice.
    Chooser(int argc, char** argv);
    ~Chooser();
    Chooser(const Chooser&) = delete;
    Chooser& operator=(const Chooser&) = delete;

    /// Decides with the parsed @p optionValue, tells Qt Quick before its first
    /// window exists and logs the choice once. Returns the decision.
    Decision apply(const QString& optionValue);

private:
    Renderer collectProbe();

    pid_t m_child = -1;
    int m_answer = -1;
};

} // namespace scenegraph
