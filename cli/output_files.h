// The files vantrel-report writes, made so that none that is already there
// is ever lost: a capture never replaces an earlier one, and a report takes
// the place of the old one only once it is whole. Run by root, it follows no
// link it was not given and writes into no disk.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Opens path for binary writing only when nothing has that name yet: not a
// file, not a symbolic link (which is never followed, dangling or not), and
// on Windows only when what was created is a disk file. Null on failure,
// with *taken telling whether the name was in use.
FILE* CreateNewFile(const std::string& path, bool* taken);

// Writes what write puts into a stream to path. A regular file (or a new
// name) gets a new file beside it that takes its place once whole, with the
// old file's permissions; a pipe, the null device and a terminal are
// written into as they are. A link, a disk and any other device are
// refused. False with *problem (the message after "path: ") on failure,
// which leaves an old file as it was.
bool WriteOutputFile(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string* problem);

// Tests only: called with the temporary file's path once it is written and
// before its permissions are set, where an attacker's swap would land.
extern void (*g_outputBeforePermissions)(const std::string& temporary);

// True when path names something that exists but is no regular file (a
// FIFO, a device, a folder): read as a capture, it would hang or read a disk.
bool IsOtherThanFile(const std::string& path);
