#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/text.h"

namespace platform {

namespace {

// A Windows-style name ("\" separates folders) as the UTF-8 path with "/"
// that the system takes.
std::string HostName(const std::u16string& name) {
    std::u16string path = name;
    std::replace(path.begin(), path.end(), u'\\', u'/');
    return base::Utf16ToUtf8(path);
}

int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

void TFileStream::Open(const std::u16string* name, TFileMode mode) {
    int flags = 0;
    switch (mode) {
        case fmCreate:
            flags = O_RDWR | O_CREAT | O_TRUNC;
            break;
        case fmOpenRead:
            flags = O_RDONLY;
            break;
        case fmOpenWrite:
            flags = O_WRONLY;
            break;
        case fmOpenReadWrite:
            flags = O_RDWR;
            break;
    }
    int fd = -1;
    if (name != nullptr) {
        fd = ::open(HostName(*name).c_str(), flags | O_CLOEXEC, 0666);
    }
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        // A folder opens for reading on this system, but it is no file.
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        if (mode == fmCreate) {
            throw EFCreateError("Cannot create file " + fileName_);
        }
        throw EFOpenError("Cannot open file " + fileName_);
    }
    handle_ = fd;
}

TFileStream::~TFileStream() {
    ::close(Fd(handle_));
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    ssize_t n;
    do {
        n = ::read(Fd(handle_), buffer, static_cast<size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    ssize_t n;
    do {
        n = ::write(Fd(handle_), buffer, static_cast<size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, base::SeekOrigin origin) {
    const int whence = origin == base::SeekOrigin::Beginning ? SEEK_SET
                       : origin == base::SeekOrigin::Current ? SEEK_CUR
                                                             : SEEK_END;
    const off_t result = ::lseek(Fd(handle_), static_cast<off_t>(offset), whence);
    if (result < 0) {
        throw base::EStreamError("Stream seek error");
    }
    return result;
}

void TFileStream::SetSize(int64_t size) {
    if (size < 0 || ::ftruncate(Fd(handle_), static_cast<off_t>(size)) != 0) {
        throw base::EStreamError("Stream size error");
    }
    if (Position() > size) {
        Seek(size, base::SeekOrigin::Beginning);
    }
}

void TFileStream::Flush() {
    if (::fsync(Fd(handle_)) != 0 && errno != EINVAL) {
        throw base::EWriteError("Stream write error");
    }
}

}  // namespace platform

namespace platform {

bool MoveFileReplacing(const std::u16string& from, const std::u16string& to) {
    return ::rename(HostName(from).c_str(), HostName(to).c_str()) == 0;
}

TMoveResult MoveFileOver(const std::u16string& from, const std::u16string& to) {
    if (MoveFileReplacing(from, to)) {
        return TMoveResult::kMoved;
    }
    return errno == EBUSY || errno == ETXTBSY ? TMoveResult::kInUse : TMoveResult::kFailed;
}

bool CreateFolder(const std::u16string& path) {
    const std::string name = HostName(path);
    if (::mkdir(name.c_str(), 0777) == 0) {
        return true;
    }
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveFile(const std::u16string& path) {
    return ::unlink(HostName(path).c_str()) == 0;
}

}  // namespace platform
