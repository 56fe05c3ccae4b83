// Firmware image files on POSIX: read-only, held under an exclusive flock so that a second
// opener (another upload, or a tool that takes the same lock) is refused while one runs.
//
// Only regular files are taken: a directory, a pipe or a device has no size to check the
// image against. Nothing here ever writes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "image_file.h"
#include "posix_last_error.h"

namespace {

struct ImageRecord {
    int fd = -1;
};

ImageRecord* RecordOf(ImageFileHandle file) {
    auto* record = static_cast<ImageRecord*>(file);
    return record != nullptr && record->fd >= 0 ? record : nullptr;
}

bool Fail(int error) {
    RememberPosixError(error);
    return false;
}

}  // namespace

ImageFileHandle ImageFileOpen(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        Fail(ENOENT);
        return nullptr;
    }
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it is refused below.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        Fail(errno);
        return nullptr;
    }
    int refusal = 0;
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        refusal = errno;
    } else if (S_ISDIR(status.st_mode)) {
        refusal = EISDIR;
    } else if (!S_ISREG(status.st_mode)) {
        refusal = EINVAL;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refusal = errno;
    } else {
        int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) refusal = errno;
    }
    if (refusal != 0) {
        close(fd);
        Fail(refusal);
        return nullptr;
    }
    auto* record = new ImageRecord;
    record->fd = fd;
    return record;
}

bool ImageFileSize(ImageFileHandle file, uint64_t* size) {
    ImageRecord* record = RecordOf(file);
    if (record == nullptr) return Fail(EBADF);
    if (size == nullptr) return Fail(EINVAL);
    struct stat status {};
    if (fstat(record->fd, &status) != 0) return Fail(errno);
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool ImageFileRead(ImageFileHandle file, void* data, uint32_t count, uint32_t* received) {
    if (received != nullptr) *received = 0;
    ImageRecord* record = RecordOf(file);
    if (record == nullptr) return Fail(EBADF);
    if (data == nullptr && count > 0) return Fail(EINVAL);
    auto* bytes = static_cast<unsigned char*>(data);
    uint32_t got = 0;
    // read() may return less than asked before the end: go on until the count or the end.
    while (got < count) {
        ssize_t fresh = read(record->fd, bytes + got, count - got);
        if (fresh < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        if (fresh == 0) break;
        got += static_cast<uint32_t>(fresh);
        if (received != nullptr) *received = got;
    }
    return true;
}

void ImageFileClose(ImageFileHandle file) {
    ImageRecord* record = RecordOf(file);
    if (record == nullptr) return;
    close(record->fd);  // releases the lock with the descriptor
    record->fd = -1;
    delete record;
}

bool ImageFileErrorIsNotRegular(uint32_t error) { return error == EINVAL; }
