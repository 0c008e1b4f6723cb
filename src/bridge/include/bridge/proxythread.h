#pragma once

#include <QThread>

class ProxyObject;

/// Creates the ProxyObject (its child, on the creating thread) and runs an
/// event loop that no object uses; its `started` signal is the only traffic
/// between the threads.
class ProxyThread : public QThread {
    Q_OBJECT

public:
    ProxyThread();
    ~ProxyThread() override;

    ProxyObject* proxyObject() const { return m_proxyObject; }
    void stopProxy();

protected:
    void run() override;

private:
    ProxyObject* m_proxyObject;   // a child of this object
};
