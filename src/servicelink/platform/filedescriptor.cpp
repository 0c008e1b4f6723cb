#include "platform/filedescriptor.h"

#include <unistd.h>

namespace platform {

void FileDescriptor::reset(int fd) noexcept
{
    if (m_fd >= 0) {
        // close() is not retried on EINTR: on Linux the descriptor is
        // released even then, and a retry could close someone else's.
        ::close(m_fd);
    }
    m_fd = fd;
}

} // namespace platform
