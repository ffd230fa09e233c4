// The kernel's generator: getrandom(), or /dev/urandom where the kernel is
// too old for the call.

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/exception.h"
#include "platform/random.h"

namespace platform {

namespace {

[[noreturn]] void RaiseFailure(const char* what, int error) {
    throw base::Exception(std::string("Cannot get random bytes from the system (") + what +
                          "): " + std::strerror(error));
}

void FromDevice(unsigned char* p, size_t size) {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        RaiseFailure("/dev/urandom", errno);
    }
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            RaiseFailure("/dev/urandom", error);
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    ::close(fd);
}

}  // namespace

void RandomBytes(void* data, size_t size) {
    auto* p = static_cast<unsigned char*>(data);
    while (size > 0) {
        // Large requests may come back in parts; a signal may cut one short.
        const ssize_t n = ::getrandom(p, size, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == ENOSYS) {
                FromDevice(p, size);
                return;
            }
            RaiseFailure("getrandom", errno);
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace platform
