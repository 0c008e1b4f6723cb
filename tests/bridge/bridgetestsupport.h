#pragma once

// Fixtures for the bridge and controller tests: a scripted service process
// in a private object directory, and a capture of the program's log lines.

#include "linktestsupport.h"

#include <QMutex>
#include <QStringList>
#include <QtTest>

#ifndef KESTRIX_SCRIPTEDPEER
#error "KESTRIX_SCRIPTEDPEER must name the scriptedpeer executable"
#endif

namespace bridgetest {

// The scripted service: one command per call, answered with "ok".
class ScriptedService {
public:
    explicit ScriptedService(const linktest::ObjectDir& dir)
        : m_peer(QStringLiteral(KESTRIX_SCRIPTEDPEER), dir, {})
    {
        m_ready = m_peer.waitForLine(QStringLiteral("ready"), 10000);
    }

    bool isReady() const { return m_ready; }

    // Runs @p line; returns the lines it printed before its "ok".
    QStringList run(const QString& line)
    {
        QStringList printed;
        m_peer.writeLine(line.toUtf8());
        for (;;) {
            const QString reply = m_peer.nextLine(5000);
            if (reply.isNull() || reply == QLatin1String("ok"))
                return printed;
            printed << reply;
        }
    }

    linktest::PeerProcess& process() { return m_peer; }

private:
    linktest::PeerProcess m_peer;
    bool m_ready = false;
};

// Every message the program logs while alive, as Qt formats it.
class MessageCapture {
public:
    MessageCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }

    QStringList lines() const
    {
        QMutexLocker lock(&m_lock);
        return m_lines;
    }
    int count(const QString& fragment) const { return lines().filter(fragment).size(); }
    void clear()
    {
        QMutexLocker lock(&m_lock);
        m_lines.clear();
    }

private:
    static void handle(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        if (s_current != nullptr) {
            QMutexLocker lock(&s_current->m_lock);
            s_current->m_lines << text;
        }
    }

    static inline MessageCapture* s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_lock;
    QStringList m_lines;
};

} // namespace bridgetest
