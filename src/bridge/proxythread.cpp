#include "bridge/proxythread.h"

#include "bridge/proxyobject.h"

ProxyThread::ProxyThread() : QThread(nullptr), m_proxyObject(new ProxyObject(this)) {}

ProxyThread::~ProxyThread()
{
    delete m_proxyObject;   // a child: deleting it first also unparents it
    m_proxyObject = nullptr;
}

void ProxyThread::stopProxy()
{
    if (m_proxyObject != nullptr)
        m_proxyObject->stop();
}

void ProxyThread::run()
{
    exec();
}
