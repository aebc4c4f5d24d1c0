// Where the process may load DLLs from. The programs run with administrator
// rights from a folder anyone may have written to (Downloads): no DLL may
// come from there, nor from the current folder.
#pragma once

// Restricts the search for DLLs loaded by name, and for their dependencies,
// to the system folder where the system can (Windows 7 and later, Vista and
// earlier with the update that added SetDefaultDllDirectories), and takes
// the current folder out of it where SetDllDirectoryA exists (XP SP1 and
// later). Both are looked up at run time, so that the oldest systems start.
// First thing in the program, before any DLL is loaded by name.
void RestrictDllSearch();
