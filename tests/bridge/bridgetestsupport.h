#pragma once

// A service in the test's own process for the bridge's tests: a ServiceLink
// over a private object directory, which KESTRIX_IPC_DIR names to the
// program's side for as long as the service lives. Without @p started, the
// directory stays empty (the service is absent) until start().

#include "linktestsupport.h"
#include "messagecapture.h"

#include <QtTest>

struct Service {
    explicit Service(bool started = true)
    {
        qputenv("KESTRIX_IPC_DIR", QByteArray::fromStdString(dir.path()));
        link.setObjectDirectory(dir.path());
        if (started)
            start();
    }
    void start() { QVERIFY(link.createObjects() == 0 && link.vlcommRegister(&taken) == 0 && link.beginNewEpoch() == 0); }
    ~Service() { qunsetenv("KESTRIX_IPC_DIR"); }

    void set(std::uint32_t id, std::uint32_t value) { link.setParameters({{id, value}}); }
    void set(std::uint32_t id, const char* text) { link.setStrings({{id, linktest::u16(text)}}); }
    // What the service takes over from the program since the last call.
    QStringList pull()
    {
        taken.take();
        link.pull();
        return taken.take();
    }

    linktest::ObjectDir dir;
    servicelink::ServiceLink link;
    linktest::RecordingCallback taken;
};
