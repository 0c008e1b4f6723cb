#pragma once

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <optional>

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

/// The choice, made before the application object exists and applied once
/// it does. Construct it while the process has one thread: unless the
/// command line or the environment force the choice, it forks a child that
/// makes an OpenGL context, reads the renderer's name and ends (within 3 s),
/// so the driver (llvmpipe maps and touches about 60 MB) is never loaded
/// into this process unless the window uses it.
///
/// On the software path the desktop's scale factor is rounded to a whole
/// number (down at .5, unless QT_SCALE_FACTOR_ROUNDING_POLICY says
/// otherwise): at a fractional device pixel ratio the software scene graph
/// leaves seams of unpainted pixels along the edges of what it redraws in a
/// transparent window.
class Chooser {
public:
    Chooser(int argc, char** argv);

    const Decision& decision() const { return m_decision; }

    /// Once the application object exists: drops what the constructor set
    /// for it alone and logs the choice.
    void apply();

private:
    Decision m_decision;
    QStringList m_warnings;
    bool m_roundingSet = false;
};

} // namespace scenegraph
