// kestrix-service: the stand-in traffic service of the Kestrix Command Center.

#include "options.h"
#include "service.h"

#include "platform/log.h"
#include "platform/namedobject.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>

namespace {

std::atomic<bool> g_stop{false};

extern "C" void onStopSignal(int)
{
    g_stop.store(true);
}

void printLine(const std::string& line)
{
    std::cout << line << std::endl;   // flushed: tests and pipes read line by line
}

} // namespace

int main(int argc, char** argv)
{
    demo::Options options;
    std::string error;
    if (!demo::parseOptions(argc, argv, options, error)) {
        std::cerr << "kestrix-service: " << error << "\n" << demo::usage(argv[0]);
        return 2;
    }
    if (options.help) {
        std::cout << demo::usage(argv[0]);
        return 0;
    }
    platform::setLogSink([](const std::string& line) { std::cerr << "link: " << line << std::endl; });

    if (options.cleanup)
        return demo::cleanupObjects(platform::objectDirectory(), printLine);

    // No SA_RESTART: a signal cuts the wait on the client event short.
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    demo::Service service(options, printLine);
    if (!service.start())
        return 1;
    service.run(g_stop);
    return 0;
}
