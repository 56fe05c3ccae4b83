#include "image_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

const std::string& ScratchImagePath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/drusel-fuzz-" +
               std::to_string(getpid()) + ".img";
    }();
    static const bool removedAtExit = std::atexit([] { unlink(ScratchImagePath().c_str()); }) == 0;
    (void)removedAtExit;
    return path;
}

void WriteScratchImage(const std::vector<uint8_t>& bytes, uint64_t totalSize) {
    const int fd = open(ScratchImagePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror("scratch image");
        std::abort();
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            std::perror("scratch image write");
            std::abort();
        }
        done += static_cast<size_t>(n);
    }
    if (totalSize > bytes.size() && ftruncate(fd, static_cast<off_t>(totalSize)) != 0) {
        std::perror("scratch image size");
        std::abort();
    }
    close(fd);
}
