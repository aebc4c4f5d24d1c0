// The files vantrel-report writes, made so that none that is already there
// is ever lost: a capture never replaces an earlier one, and a report takes
// the place of the old one only once it is whole.
#pragma once

#include <cstdio>
#include <string>

// Opens path for binary writing only when nothing has that name yet: not a
// file, not a symbolic link (which is never followed, dangling or not).
// Null on failure, with *taken telling whether the name was in use.
FILE* CreateNewFile(const std::string& path, bool* taken);

// Puts the file from in the place of to in one step, replacing what to was
// (a link itself, not what it points to). The POSIX version gives it the
// permissions of the file it replaces.
bool MoveIntoPlace(const std::string& from, const std::string& to);

// True when path names a device or a pipe (/dev/null, NUL, a shell's
// process substitution), which is written into as it is: replacing it with a
// file would be wrong.
bool IsDeviceOrPipe(const std::string& path);

// Lets every user of the machine read a file this run created, whatever the
// umask: a metrics collector reads as its own unprivileged user. (Windows:
// the folder's inherited permissions already decide.)
void LetEveryoneRead(FILE* file);
