#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/folder_walk.h"
#include "platform/output_files.h"

void (*g_outputBeforePermissions)(const std::string& temporary) = nullptr;

namespace {

enum { kMaxTemporaries = 999 };

bool Fail(std::string* problem, const std::string& text) {
    *problem = text;
    return false;
}

bool FailErrno(std::string* problem, const char* what) {
    return Fail(problem, std::string(what) + ": " + std::strerror(errno));
}

// The null device (1:3) and a terminal take a report as they are, told by
// their number alone, since opening some devices for writing acts (a
// watchdog is armed by it). Terminals are the virtual consoles (4:0-63),
// /dev/tty and /dev/console (5:0, 5:1) and the pseudo-terminals' slaves
// (136-143). Serial lines (4:64 and up, USB ones) are not: a modem or a
// UPS may listen there. Every other character device is refused: a write
// to /dev/sg* is a SCSI command, one to a tape or a printer does something.
bool IsHarmlessCharacterDevice(dev_t device) {
    const unsigned int kind = major(device);
    const unsigned int unit = minor(device);
    return device == makedev(1, 3) || (kind == 4 && unit < 64) || (kind == 5 && unit <= 1) ||
           (kind >= 136 && kind <= 143);
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

// A new name's mode, as an open with 0666 would have made it.
bool SetNewFileMode(int fd, std::string* problem) {
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, 0666 & ~mask) == 0 || FailErrno(problem, "cannot set its permissions");
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

// Opens the pipe, null device or terminal that name was found to be, without
// waiting for a pipe's reader nor taking a terminal as this process's own;
// refused when what opened is not what was checked.
bool WriteIntoChecked(int folder, const std::string& name, const struct stat& checked,
                      const std::function<bool(FILE*)>& write, std::string* problem) {
    const int fd =
        openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENXIO ? Fail(problem, "a pipe that nobody reads")
                              : FailErrno(problem, "cannot open");
    }
    struct stat opened;
    if (fstat(fd, &opened) != 0 || opened.st_dev != checked.st_dev ||
        opened.st_ino != checked.st_ino) {
        close(fd);
        return Fail(problem, "was replaced while it was checked");
    }
    return WriteInto(fd, write, problem);
}

// Creates the first free one of NAME.new, NAME.2.new, ... in the folder,
// readable by its creator alone until it is whole and given its mode.
int CreateTemporary(int folder, const std::string& name, std::string* temporary) {
    for (int copy = 1; copy <= kMaxTemporaries; ++copy) {
        *temporary = copy == 1 ? name + ".new" : name + "." + std::to_string(copy) + ".new";
        const int fd = openat(folder, temporary->c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Everything by descriptor, the folder's included: whatever is swapped in
// under either name meanwhile, neither the permissions nor the rename reach
// anything but the new file. old is null for a new name; shown is the
// folder as the tests' hook names it.
bool ReplaceFile(int folder, const std::string& name, const std::string& shown,
                 const struct stat* old, const std::function<bool(FILE*)>& write,
                 std::string* problem) {
    std::string temporary;
    const int fd = CreateTemporary(folder, name, &temporary);
    if (fd < 0) {
        return FailErrno(problem, "cannot create");
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        const int saved = errno;
        close(fd);
        unlinkat(folder, temporary.c_str(), 0);
        errno = saved;
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
        g_outputBeforePermissions(shown + temporary);
    }
    if (ok) {
        ok = old ? KeepOwnerAndMode(fd, *old, problem) : SetNewFileMode(fd, problem);
    }
    // The name must still be this file: renaming a link put in its place
    // would put the link where the report belongs.
    struct stat written;
    struct stat named;
    if (ok && (fstat(fd, &written) != 0 ||
               fstatat(folder, temporary.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
               written.st_dev != named.st_dev || written.st_ino != named.st_ino)) {
        std::fclose(stream);
        return Fail(problem, temporary + " was replaced while it was written");
    }
    if (ok && renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
        ok = FailErrno(problem, "cannot replace it");
    }
    if (!ok) {
        unlinkat(folder, temporary.c_str(), 0);
    }
    std::fclose(stream);
    return ok;
}

// What name is in the folder decides what is done with it, found out
// without opening it: only a pipe, the null device and a terminal are ever
// opened for writing, and a regular file is replaced.
bool WriteInFolder(int folder, const std::string& name, const std::string& shown,
                   const std::function<bool(FILE*)>& write, std::string* problem) {
    const int found = openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (found < 0) {
        return errno == ENOENT ? ReplaceFile(folder, name, shown, nullptr, write, problem)
                               : FailErrno(problem, "cannot open");
    }
    struct stat target;
    const bool known = fstat(found, &target) == 0;
    const int saved = errno;
    close(found);
    errno = saved;
    if (!known) {
        return FailErrno(problem, "cannot open");
    }
    if (S_ISREG(target.st_mode)) {
        return ReplaceFile(folder, name, shown, &target, write, problem);
    }
    if (S_ISFIFO(target.st_mode) ||
        (S_ISCHR(target.st_mode) && IsHarmlessCharacterDevice(target.st_rdev))) {
        return WriteIntoChecked(folder, name, target, write, problem);
    }
    if (S_ISLNK(target.st_mode)) {
        return Fail(problem, "is a symbolic link; name the file itself");
    }
    if (S_ISDIR(target.st_mode)) {
        errno = EISDIR;
        return FailErrno(problem, "cannot open");
    }
    if (S_ISBLK(target.st_mode)) {
        return Fail(problem, "is a disk; a report is never written to one");
    }
    return Fail(problem, S_ISSOCK(target.st_mode)
                             ? "is a socket; a report is never written to one"
                             : "is a device; a report is never written to one");
}

}  // namespace

FILE* CreateNewFile(const std::string& path, bool* taken, std::string* problem) {
    *taken = false;
    std::string name;
    const int folder = OpenFolderOf(path, &name, problem);
    if (folder < 0) {
        return nullptr;
    }
    // O_EXCL alone already refuses a link; O_NOFOLLOW says so twice.
    const int fd =
        openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    *taken = fd < 0 && errno == EEXIST;
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        if (fd >= 0) {
            close(fd);
            unlinkat(folder, name.c_str(), 0);
        }
        *problem = std::string("cannot create: ") + std::strerror(saved);
    }
    close(folder);
    return file;
}

void RemoveCreatedFile(const std::string& path) {
    std::string name;
    std::string problem;
    const int folder = OpenFolderOf(path, &name, &problem);
    if (folder >= 0) {
        unlinkat(folder, name.c_str(), 0);
        close(folder);
    }
}

bool WriteOutputFile(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string* problem) {
    std::string name;
    const int folder = OpenFolderOf(path, &name, problem);
    if (folder < 0) {
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string shown = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const bool ok = WriteInFolder(folder, name, shown, write, problem);
    close(folder);
    return ok;
}

bool ReadRegularFile(const std::string& path, size_t limit, std::vector<uint8_t>* bytes,
                     std::string* problem) {
    bytes->clear();
    // O_PATH finds out what the name is without opening it: a device is
    // never opened (a watchdog's open arms it), a FIFO never waited on. A
    // link to a capture is a capture.
    const int found = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (found < 0) {
        return FailErrno(problem, "offset 0: cannot open");
    }
    struct stat checked;
    const bool regular = fstat(found, &checked) == 0 && S_ISREG(checked.st_mode);
    close(found);
    if (!regular) {
        return Fail(problem, "not a regular file");
    }
    // What is read is what was checked, or nothing.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return FailErrno(problem, "offset 0: cannot open");
    }
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != checked.st_dev ||
        opened.st_ino != checked.st_ino) {
        close(fd);
        return Fail(problem, "not a regular file");
    }
    // Room for what the file holds and one byte more, which tells a file
    // grown since apart; more only as it turns out to be needed.
    const size_t expected = static_cast<size_t>(opened.st_size) + 1;
    bytes->resize(expected < limit ? expected : limit);
    size_t size = 0;
    while (size < limit) {
        if (size == bytes->size()) {
            bytes->resize(2 * size < limit ? 2 * size : limit);
        }
        const ssize_t got = read(fd, bytes->data() + size, bytes->size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            close(fd);
            bytes->resize(size);
            return Fail(problem, "offset " + std::to_string(size) + ": read error");
        }
        if (got == 0) {
            break;
        }
        size += static_cast<size_t>(got);
    }
    close(fd);
    bytes->resize(size);
    return true;
}
