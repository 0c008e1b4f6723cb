// linkpeer: the other process of the cross-process tests, in the object
// directory $KESTRIX_IPC_DIR; each line it says is flushed at once.
//
//   hold-mutex         lock the link mutex, say "held", sleep until killed
//   hammer N           say "ready", wait for a line on stdin, then N times: lock,
//                      add 1 to the u64 at offset 16 of region "hammer-counter", unlock
//   set-event COUNT    set the client event COUNT times, say "set"
//   wait-event MS...   say "waiting", then wait on the client event once per
//                      argument and say "signalled" or "timeout"

#include "servicelink/objectnames.h"

#include "platform/namedevent.h"
#include "platform/namedmutex.h"
#include "platform/namedobject.h"
#include "platform/sharedregion.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlive the test
    const std::string command = argc > 1 ? argv[1] : "";
    std::string why;
    auto mutex = platform::NamedMutex::openOrCreate(platform::objectPath(servicelink::kLinkMutexName), why);
    auto event = platform::NamedEvent::openOrCreate(platform::objectPath(servicelink::kClientEventName), why);
    auto counter = platform::SharedRegion::create(platform::objectPath("hammer-counter"), 0600, why);
    if (!mutex.isValid() || !event.isValid() || !counter.isValid() || counter.commit(24) != 0) {
        std::cerr << "linkpeer: " << why << std::endl;
        return 1;
    }
    if (command == "hold-mutex") {
        mutex.lock();
        std::cout << "held" << std::endl;
        for (;;)
            ::pause();   // the kernel drops the lock of a killed process
    }
    if (command == "hammer" && argc == 3) {
        std::cout << "ready" << std::endl;
        std::getline(std::cin, why);
        volatile auto* slot = reinterpret_cast<std::uint64_t*>(counter.base() + 16);
        for (long i = std::atol(argv[2]); i > 0; --i) {
            platform::NamedMutexLocker lock(mutex);
            const std::uint64_t value = *slot;
            sched_yield();   // a mutex that does not exclude the others now loses updates for sure
            *slot = value + 1;
        }
        std::cout << "done" << std::endl;
        return 0;
    }
    if (command == "set-event" && argc == 3) {
        for (long i = std::atol(argv[2]); i > 0; --i)
            event.set();
        std::cout << "set" << std::endl;
        return 0;
    }
    if (command == "wait-event") {
        std::cout << "waiting" << std::endl;
        for (int i = 2; i < argc; ++i)
            std::cout << (event.wait(std::atoi(argv[i])) == platform::NamedEvent::WaitResult::Signalled ? "signalled" : "timeout") << std::endl;
        return 0;
    }
    std::cerr << "usage: linkpeer hold-mutex | hammer N | set-event COUNT | wait-event MS..." << std::endl;
    return 2;
}
