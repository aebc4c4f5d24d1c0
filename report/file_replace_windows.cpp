#include "report/file_replace.h"

#include <windows.h>

#include "inventory/decimal_text.h"

namespace {

enum { kMaxNames = 999 };

bool IsWindows9x() {
    return (GetVersion() & 0x80000000u) != 0;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool ReplaceWithFileOn(const std::string& from, const std::string& to, bool windows9x) {
    if (!windows9x) {
        return MoveFileExA(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!Exists(to)) {
        return MoveFileA(from.c_str(), to.c_str()) != 0;
    }
    std::string backup;
    bool moved = false;
    for (int copy = 1; copy <= kMaxNames && !moved; ++copy) {
        backup = to + "." + DecimalText(copy) + ".old";
        moved = !Exists(backup) && MoveFileA(to.c_str(), backup.c_str()) != 0;
    }
    if (!moved) {
        return false;
    }
    if (!MoveFileA(from.c_str(), to.c_str())) {
        MoveFileA(backup.c_str(), to.c_str());
        return false;
    }
    DeleteFileA(backup.c_str());
    return true;
}

bool ReplaceWithFile(const std::string& from, const std::string& to) {
    return ReplaceWithFileOn(from, to, IsWindows9x());
}
