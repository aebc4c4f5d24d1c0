#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/output_files.h"

void (*g_outputBeforePermissions)(const std::string& temporary) = nullptr;

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

namespace {

enum { kMaxTemporaries = 999 };

bool Fail(std::string* problem, const std::string& text) {
    *problem = text;
    return false;
}

bool FailErrno(std::string* problem, const char* what) {
    return Fail(problem, std::string(what) + ": " + std::strerror(errno));
}

// The null device and a terminal take a report as they are. Every other
// character device is refused: a write to /dev/sg* is a SCSI command, one to
// a tape or a printer does something too.
bool IsHarmlessCharacterDevice(int fd, const struct stat& target) {
    return target.st_rdev == makedev(1, 3) || isatty(fd);
}

// Whether this process may give a file to another owner: root only with
// CAP_CHOWN, which a hardened service does not keep. Asked of capget, which
// such a service's system-call filter allows, unlike fchown itself.
bool MayChangeOwner() {
    if (geteuid() != 0) {
        return false;
    }
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    return syscall(SYS_capget, &header, data) == 0 && (data[0].effective & (1u << CAP_CHOWN)) != 0;
}

// The old file's owner, where it differs from the new file's and this
// process may give it, then its permissions without the set-id bits: a
// report is never a program to run as its owner. Where the owner cannot be
// kept, the new file stays its creator's, so that every run still lands.
bool KeepOwnerAndMode(int fd, const struct stat& old, std::string* problem) {
    struct stat created;
    if (fstat(fd, &created) != 0) {
        return FailErrno(problem, "cannot keep its permissions");
    }
    if ((created.st_uid != old.st_uid || created.st_gid != old.st_gid) && MayChangeOwner() &&
        fchown(fd, old.st_uid, old.st_gid) != 0) {
        return FailErrno(problem, "cannot keep its owner");
    }
    if (fchmod(fd, old.st_mode & 0777) != 0) {
        return FailErrno(problem, "cannot keep its permissions");
    }
    return true;
}

// Writes into a pipe, the null device or a terminal through the descriptor
// that was checked. Blocking again, so that a full pipe waits for its reader
// rather than failing.
bool WriteInto(int fd, const std::function<bool(FILE*)>& write, std::string* problem) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        close(fd);
        return FailErrno(problem, "cannot write");
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        close(fd);
        return FailErrno(problem, "cannot write");
    }
    bool ok = write(stream);
    ok = std::fclose(stream) == 0 && ok;
    return ok || Fail(problem, "write error");
}

// The folder part of path ("." for a bare name) and the name in it.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *name = path;
    } else {
        *folder = slash == 0 ? "/" : path.substr(0, slash);
        *name = path.substr(slash + 1);
    }
}

// Creates the first free one of NAME.new, NAME.2.new, ... in the folder.
int CreateTemporary(int folder, const std::string& name, std::string* temporary) {
    for (int copy = 1; copy <= kMaxTemporaries; ++copy) {
        *temporary = copy == 1 ? name + ".new" : name + "." + std::to_string(copy) + ".new";
        const int fd = openat(folder, temporary->c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Everything by descriptor, the folder's included: whatever is swapped in
// under either name meanwhile, neither the permissions nor the rename reach
// anything but the new file. old is null for a new name.
bool ReplaceFile(const std::string& path, const struct stat* old,
                 const std::function<bool(FILE*)>& write, std::string* problem) {
    std::string folderPath;
    std::string name;
    SplitPath(path, &folderPath, &name);
    const int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return FailErrno(problem, "cannot create");
    }
    std::string temporary;
    const int fd = CreateTemporary(folder, name, &temporary);
    if (fd < 0) {
        const int saved = errno;
        close(folder);
        errno = saved;
        return FailErrno(problem, "cannot create");
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        close(fd);
        unlinkat(folder, temporary.c_str(), 0);
        close(folder);
        return FailErrno(problem, "cannot create");
    }
    // The reason goes with the error: a full textfile folder must say so in
    // a service's journal.
    errno = 0;
    bool ok = write(stream);
    ok = std::fflush(stream) == 0 && ok;
    ok = ok && fsync(fd) == 0;
    if (!ok) {
        *problem = errno != 0 ? std::string("write error: ") + std::strerror(errno) : "write error";
    }
    if (ok && g_outputBeforePermissions) {
        g_outputBeforePermissions(folderPath + "/" + temporary);
    }
    if (ok && old) {
        ok = KeepOwnerAndMode(fd, *old, problem);
    }
    // The name must still be this file: renaming a link put in its place
    // would put the link where the report belongs.
    struct stat written;
    struct stat named;
    if (ok && (fstat(fd, &written) != 0 ||
               fstatat(folder, temporary.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
               written.st_dev != named.st_dev || written.st_ino != named.st_ino)) {
        ok = Fail(problem, temporary + " was replaced while it was written");
        std::fclose(stream);
        close(folder);
        return false;
    }
    if (ok && renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        ok = FailErrno(problem, "cannot replace it");
    }
    if (!ok) {
        unlinkat(folder, temporary.c_str(), 0);
    }
    std::fclose(stream);
    close(folder);
    return ok;
}

}  // namespace

bool WriteOutputFile(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string* problem) {
    // No O_CREAT: this open only finds out what the name is, and it neither
    // follows a link nor waits for a pipe's reader nor takes a terminal.
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
                return ReplaceFile(path, nullptr, write, problem);
            case ELOOP:
                return Fail(problem, "is a symbolic link; name the file itself");
            case ENXIO:
                return Fail(problem, "a pipe that nobody reads");
            default:
                return FailErrno(problem, "cannot open");
        }
    }
    struct stat target;
    if (fstat(fd, &target) != 0) {
        close(fd);
        return FailErrno(problem, "cannot open");
    }
    if (S_ISREG(target.st_mode)) {
        close(fd);
        return ReplaceFile(path, &target, write, problem);
    }
    if (S_ISFIFO(target.st_mode) ||
        (S_ISCHR(target.st_mode) && IsHarmlessCharacterDevice(fd, target))) {
        return WriteInto(fd, write, problem);
    }
    close(fd);
    return Fail(problem, S_ISBLK(target.st_mode) ? "is a disk; a report is never written to one"
                                                 : "is a device; a report is never written to one");
}

bool IsOtherThanFile(const std::string& path) {
    struct stat target;
    return stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode);
}
