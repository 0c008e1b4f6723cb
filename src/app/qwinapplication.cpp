#include "app/qwinapplication.h"

#include "app/nativeeventfilter.h"
#include "app/restorechannel.h"

QWinApplication::QWinApplication(int& argc, char** argv)
    : QApplication(argc, argv), m_filter(std::make_unique<NativeEventFilter>())
{
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
