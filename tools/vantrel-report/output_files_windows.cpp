#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "tools/vantrel-report/output_files.h"

FILE* CreateNewFile(const std::string& path, bool* taken) {
    // _O_EXCL opens with CREATE_NEW, which fails for any existing name.
    const int fd =
        _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    *taken = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        return nullptr;
    }
    FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        DeleteFileA(path.c_str());
    }
    return file;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool IsDeviceOrPipe(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

void LetEveryoneRead(FILE*) {}
