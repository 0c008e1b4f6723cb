#include "app/qwinapplication.h"

#include "app/nativeeventfilter.h"
#include "app/restorechannel.h"

#include <QIcon>

namespace {

// Set before the application object exists, as Qt requires: the window
// follows the desktop's scale factor (Xft.dpi on X11, the output's scale on
// Wayland, QT_SCALE_FACTOR and QT_SCREEN_SCALE_FACTORS), fractional ones as
// they are. QT_ENABLE_HIGHDPI_SCALING=0 and QT_SCALE_FACTOR_ROUNDING_POLICY
// still have the last word.
int& withDesktopScaling(int& argc)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    return argc;
}

} // namespace

QWinApplication::QWinApplication(int& argc, char** argv)
    : QApplication(withDesktopScaling(argc), argv), m_filter(std::make_unique<NativeEventFilter>())
{
    // Docks and task switchers show the program's icon and group its window
    // with the desktop entry (packaging/kestrix.desktop.in) that starts it.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("kestrix"), QIcon(QStringLiteral(":/res/kestrix.ico"))));
    setDesktopFileName(QStringLiteral("kestrix"));
    m_filter->setRestoreMessage(kRestoreMessage);
    installNativeEventFilter(m_filter.get());
    connect(m_filter.get(), &NativeEventFilter::restoreWindow, this, &QWinApplication::restoreWindow);
}

QWinApplication::~QWinApplication()
{
    m_restoreServer.reset();
    removeNativeEventFilter(m_filter.get());
    m_filter.reset();
}

void QWinApplication::listenForRestore(const QString& name)
{
    m_restoreServer = std::make_unique<RestoreServer>(name);
    connect(m_restoreServer.get(), &RestoreServer::messageReceived, m_filter.get(), &NativeEventFilter::handleMessage);
}
