#include "app/nativeeventfilter.h"

#include "app/logging.h"

NativeEventFilter::NativeEventFilter(QObject* parent) : QObject(parent) {}

NativeEventFilter::~NativeEventFilter() = default;

bool NativeEventFilter::nativeEventFilter(const QByteArray& eventType, void* message, long*)
{
    if (eventType != "windows_generic_MSG" || message == nullptr)
        return false;
    return handleMessage(static_cast<const NativeWindowMessage*>(message)->message);
}

bool NativeEventFilter::handleMessage(quint32 message)
{
    if (message != m_restoreMessage)
        return false;
    qCDebug(lcApp) << "window restore message " << message;
    emit restoreWindow();
    return true;
}
