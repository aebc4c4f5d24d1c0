// The files vantrel-report writes, made so that none that is already there
// is ever lost: a capture never replaces an earlier one, and a report takes
// the place of the old one only once it is whole. Run by root, it follows no
// link another user could change and writes into no disk. And the files it
// reads, which must be files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Opens path for binary writing only when nothing has that name yet: not a
// file, not a symbolic link (which is never followed, dangling or not), and
// on Windows only when what was created is a disk file. On POSIX systems its
// folder is reached as WriteOutputFile's is. Null on failure, with *taken
// telling whether the name was in use and *problem the message after
// "path: ".
FILE* CreateNewFile(const std::string& path, bool* taken, std::string* problem);

// Removes the file that CreateNewFile made at path, after a failed write;
// its folder is reached as it was then.
void RemoveCreatedFile(const std::string& path);

// Writes what write puts into a stream to path. A regular file (or a new
// name) gets a new file beside it that takes its place once whole, with the
// old file's permissions; a pipe, the null device and a terminal are
// written into as they are. A link, a disk and any other device are
// refused, never opened for writing. On POSIX systems a link in the folder
// part is followed only where root or this process's user owns it and its
// folder, and nobody else may write that folder. False with *problem (the
// message after "path: ") on failure, which leaves an old file as it was.
bool WriteOutputFile(const std::string& path, const std::function<bool(FILE*)>& write,
                     std::string* problem);

// Tests only: called with the temporary file's path once it is written and
// before its permissions are set, where an attacker's swap would land.
extern void (*g_outputBeforePermissions)(const std::string& temporary);

// Reads up to limit bytes of path, which must be a regular file (a link to
// one will do): a FIFO would hang the run, and a device would be read. False
// with *problem, the message after "path: ": "not a regular file", or from
// "offset N: " on where it could not be opened or read.
bool ReadRegularFile(const std::string& path, size_t limit, std::vector<uint8_t>* bytes,
                     std::string* problem);
