#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "tools/vantrel-report/output_files.h"

FILE* CreateNewFile(const std::string& path, bool* taken) {
    // O_EXCL alone already refuses a link; O_NOFOLLOW says so twice.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    *taken = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        return nullptr;
    }
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        close(fd);
        unlink(path.c_str());
        errno = saved;
    }
    return file;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    struct stat old;
    if (lstat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        chmod(from.c_str(), old.st_mode & 0777);
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool IsDeviceOrPipe(const std::string& path) {
    struct stat target;
    return stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode);
}

void LetEveryoneRead(FILE* file) {
    struct stat now;
    if (fstat(fileno(file), &now) == 0) {
        fchmod(fileno(file), (now.st_mode & 0777) | 0444);
    }
}
