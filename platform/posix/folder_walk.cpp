#include "platform/folder_walk.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// The kernel's own limit on the links one path may go through.
enum { kMaxLinks = 40 };

int Fail(std::string* problem, const std::string& text) {
    *problem = text;
    return -1;
}

// Closes what the walk holds and reports errno as it was on the failure.
int FailErrno(std::string* problem, int folder, int next) {
    const int saved = errno;
    if (next >= 0) {
        close(next);
    }
    close(folder);
    return Fail(problem, std::string("cannot create: ") + std::strerror(saved));
}

// Root can do anything anyway, and a user's own links and folders are
// theirs to change: any other owner could point the write elsewhere.
bool TrustedOwner(uid_t owner) {
    return owner == 0 || owner == geteuid();
}

// Whether a link may decide where the write goes: nobody but a trusted owner
// made it, nor can replace it, since nobody else may write its folder.
bool MayFollow(int folder, const struct stat& link) {
    struct stat holder;
    return fstat(folder, &holder) == 0 && TrustedOwner(holder.st_uid) &&
           TrustedOwner(link.st_uid) && (holder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Puts path's names on the stack, the first one last, so that back() is the
// next one to walk; empty names (a doubled slash) are left out.
void PushNames(const std::string& path, std::vector<std::string>* pending) {
    size_t end = path.size();
    while (end > 0) {
        const size_t slash = path.rfind('/', end - 1);
        const size_t begin = slash == std::string::npos ? 0 : slash + 1;
        if (end > begin) {
            pending->push_back(path.substr(begin, end - begin));
        }
        if (slash == std::string::npos) {
            break;
        }
        end = slash;
    }
}

// The target of the link that fd (O_PATH, O_NOFOLLOW) is: the very link that
// was checked, not whatever has its name by now.
bool ReadLink(int fd, std::string* target) {
    char text[PATH_MAX];
    const ssize_t length = readlinkat(fd, "", text, sizeof text);
    if (length < 0) {
        return false;
    }
    if (length == 0) {
        errno = ENOENT;  // as the kernel takes an empty link
        return false;
    }
    if (static_cast<size_t>(length) >= sizeof text) {
        errno = ENAMETOOLONG;
        return false;
    }
    target->assign(text, static_cast<size_t>(length));
    return true;
}

// Takes the link that next is, in folder, where it may decide the way: its
// target's names go on the stack, and an absolute one starts again at the
// root. The folder to go on from, or -1 with both descriptors closed.
int FollowLink(int folder, int next, const struct stat& link, const std::string& part, int* links,
               std::vector<std::string>* pending, std::string* problem) {
    if (!MayFollow(folder, link)) {
        close(next);
        close(folder);
        return Fail(problem, "goes through " + part +
                                 ", a link another user could change; name the folder it "
                                 "leads to");
    }
    std::string target;
    if (++*links > kMaxLinks) {
        errno = ELOOP;
        return FailErrno(problem, folder, next);
    }
    if (!ReadLink(next, &target)) {
        return FailErrno(problem, folder, next);
    }
    close(next);
    if (!target.empty() && target[0] == '/') {
        close(folder);
        folder = openat(AT_FDCWD, "/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            return Fail(problem, std::string("cannot create: ") + std::strerror(errno));
        }
    }
    PushNames(target, pending);
    return folder;
}

}  // namespace

int OpenFolderOf(const std::string& path, std::string* name, std::string* problem) {
    const size_t slash = path.rfind('/');
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name->empty()) {
        *name = ".";
    }
    std::vector<std::string> pending;
    if (slash != std::string::npos) {
        PushNames(path.substr(0, slash), &pending);
    }
    const bool absolute = !path.empty() && path[0] == '/';
    int folder = openat(AT_FDCWD, absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return Fail(problem, std::string("cannot create: ") + std::strerror(errno));
    }
    int links = 0;
    while (!pending.empty()) {
        const std::string part = pending.back();
        pending.pop_back();
        if (part == ".") {
            continue;
        }
        // ".." is the folder's own parent, wherever a link led.
        const int next = openat(folder, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct stat info;
        if (next < 0 || fstat(next, &info) != 0) {
            return FailErrno(problem, folder, next);
        }
        if (S_ISDIR(info.st_mode)) {
            close(folder);
            folder = next;
            continue;
        }
        if (!S_ISLNK(info.st_mode)) {
            errno = ENOTDIR;
            return FailErrno(problem, folder, next);
        }
        folder = FollowLink(folder, next, info, part, &links, &pending, problem);
        if (folder < 0) {
            return -1;
        }
    }
    return folder;
}
