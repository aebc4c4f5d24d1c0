// Putting a finished file in the place of an old one on Windows, so that a
// failure at any step leaves the old file as it was.
#pragma once

#include <string>

// Moves from onto to, replacing to. The NT family does it in one step
// (MoveFileExA, written through to the disk). Windows 9x has only a stub of
// MoveFileExA: there the old file is renamed to a backup name first, the
// new one moved in, and the backup deleted, or put back when the move failed.
bool ReplaceWithFile(const std::string& from, const std::string& to);

// The same with the family chosen by the caller, for tests.
bool ReplaceWithFileOn(const std::string& from, const std::string& to, bool windows9x);

// Writes bytes to a new file beside path (path.new, or path.2.new ... when
// taken) through the Windows file calls, each checked, the last being
// FlushFileBuffers, and then replaces path with it. Refuses a path that is
// a device (NUL, COM1, CON) or no disk file. False on any failure, with
// path as it was and no temporary file left.
bool SaveFileReplacing(const std::string& path, const std::string& bytes);

// Tests only: stands in for WriteFile, so that a full disk can be arranged.
typedef int (*SaveWriteFileCall)(void* handle, const void* data, unsigned long size,
                                 unsigned long* written);
extern SaveWriteFileCall g_saveWriteFile;
SaveWriteFileCall RealSaveWriteFile();
