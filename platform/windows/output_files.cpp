#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "inventory/decimal_text.h"
#include "report/file_replace.h"
#include "platform/output_files.h"

void (*g_outputBeforePermissions)(const std::string& temporary) = nullptr;

FILE* CreateNewFile(const std::string& path, bool* taken, std::string* problem) {
    // _O_EXCL opens with CREATE_NEW, which fails for any existing name.
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    *taken = fd < 0 && errno == EEXIST;
    FILE* file = nullptr;
    // A device name (NUL., AUX.txt) "creates" the device: nothing would be
    // kept, or the write would go to a port.
    if (fd >= 0 && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        _close(fd);
        errno = EINVAL;
    } else if (fd >= 0) {
        file = _fdopen(fd, "wb");
        if (!file) {
            _close(fd);
            DeleteFileA(path.c_str());
        }
    }
    if (!file) {
        *problem = std::string("cannot create: ") + std::strerror(errno);
    }
    return file;
}

void RemoveCreatedFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

namespace {

// What the name opens (a disk file, a device, a pipe), without reading or
// writing it; false when it does not open.
bool OpenedType(const std::string& path, DWORD* type) {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    *type = GetFileType(handle);
    CloseHandle(handle);
    return true;
}

// A device or a pipe (NUL, CON, a named pipe) is written into as it is;
// replacing it with a file would be wrong.
bool IsDeviceOrPipe(const std::string& path) {
    DWORD type = FILE_TYPE_DISK;
    return OpenedType(path, &type) && (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE);
}

}  // namespace

bool WriteOutputFile(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string* problem) {
    if (IsDeviceOrPipe(path)) {
        FILE* device = std::fopen(path.c_str(), "wb");
        bool ok = device && write(device);
        ok = device && std::fclose(device) == 0 && ok;
        if (!ok) {
            *problem = "write error";
        }
        return ok;
    }
    // The report goes to a new file beside the old one and takes its place
    // only when it is whole and on the disk.
    std::string temporary;
    FILE* stream = nullptr;
    bool taken = true;
    for (int copy = 1; copy <= 999 && !stream && taken; ++copy) {
        temporary = copy == 1 ? path + ".new" : path + "." + DecimalText(copy) + ".new";
        stream = CreateNewFile(temporary, &taken, problem);
    }
    if (!stream) {
        return false;
    }
    bool ok = write(stream);
    ok = std::fflush(stream) == 0 && ok;
    // msvcrt's fclose reports no failure of its own last flush.
    ok = ok && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)))) != 0;
    ok = std::fclose(stream) == 0 && ok;
    if (!ok) {
        DeleteFileA(temporary.c_str());
        *problem = "write error";
        return false;
    }
    if (!ReplaceWithFile(temporary, path)) {
        DeleteFileA(temporary.c_str());
        *problem = "cannot replace it";
        return false;
    }
    return true;
}

bool ReadRegularFile(const std::string& path, size_t limit, std::vector<uint8_t>* bytes,
                     std::string* problem) {
    bytes->clear();
    // Told before it is opened to be read: a folder does not open, and a
    // pipe or a port would hang the run or be read.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    DWORD type = FILE_TYPE_DISK;
    if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) ||
        (OpenedType(path, &type) && type != FILE_TYPE_DISK)) {
        *problem = "not a regular file";
        return false;
    }
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        *problem = std::string("offset 0: cannot open: ") + std::strerror(errno);
        return false;
    }
    // What opened is checked again: the name may have changed meanwhile.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        _close(fd);
        *problem = "not a regular file";
        return false;
    }
    // A capture's usual size first, more only as the file turns out to need.
    const size_t first = 16 * 1024;
    bytes->resize(first < limit ? first : limit);
    size_t size = 0;
    while (size < limit) {
        if (size == bytes->size()) {
            bytes->resize(2 * size < limit ? 2 * size : limit);
        }
        const int got =
            _read(fd, bytes->data() + size, static_cast<unsigned>(bytes->size() - size));
        if (got < 0) {
            _close(fd);
            bytes->resize(size);
            *problem = "offset " + DecimalText(static_cast<long long>(size)) + ": read error";
            return false;
        }
        if (got == 0) {
            break;
        }
        size += static_cast<size_t>(got);
    }
    _close(fd);
    bytes->resize(size);
    return true;
}
