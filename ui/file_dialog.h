// The common Open and Save dialogs behind one call.
#pragma once

#include <windows.h>
#include <commdlg.h>

enum FileDialogMode { kFileDialogOpen = 0, kFileDialogSave = 1, kFileDialogSelect = 2 };

enum { kFileNameSize = 260, kFileTitleSize = 512 };

void InitFileDialog(HWND owner, OPENFILENAMEA* record);

// fileName holds the proposed name on entry and, when the result is non-zero,
// the chosen full path (it must hold kFileNameSize bytes). fileTitle, when
// given, receives the chosen file's name (kFileTitleSize bytes). Zero when
// the user cancelled or the dialog failed; *failure, when given, is then
// CommDlgExtendedError's code, zero for a cancel.
int ShowFileDialog(HWND owner, char* fileName, char* fileTitle, const char* filter,
                   const char* defaultExtension, int mode, DWORD* failure = nullptr);
