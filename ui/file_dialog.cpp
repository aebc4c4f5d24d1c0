#include "ui/file_dialog.h"

#include <cstdio>

#include "ui/platform_calls.h"

void InitFileDialog(HWND owner, OPENFILENAMEA* record) {
    ZeroMemory(record, sizeof *record);
    // The record without the fields later systems appended: 76 bytes on
    // 32-bit Windows, 136 on 64-bit.
    record->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record->hwndOwner = owner;
    record->nMaxFile = kFileNameSize;
    record->nMaxFileTitle = kFileTitleSize;
}

namespace {

BOOL ShowMode(OPENFILENAMEA* record, int mode) {
    return mode == kFileDialogSave ? g_uiCalls.getSaveFileName(record)
                                   : g_uiCalls.getOpenFileName(record);
}

}  // namespace

int ShowFileDialog(HWND owner, char* fileName, char* fileTitle, const char* filter,
                   const char* defaultExtension, int mode, DWORD* failure) {
    OPENFILENAMEA record;
    InitFileDialog(owner, &record);
    char buffer[kFileNameSize];
    // Bounded whatever the caller hands in: a longer proposal is cut.
    std::snprintf(buffer, sizeof buffer, "%s", fileName ? fileName : "");
    record.lpstrFilter = filter;
    record.lpstrDefExt = defaultExtension;
    record.lpstrFileTitle = fileTitle;
    record.hwndOwner = owner;
    record.lpstrFile = buffer;
    switch (mode) {
        case kFileDialogOpen:
            record.lpstrTitle = "Open file";
            record.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
            break;
        case kFileDialogSave:
            record.lpstrTitle = "Save file";
            record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
            break;
        case kFileDialogSelect:
            record.lpstrTitle = "Select file";
            record.Flags = OFN_HIDEREADONLY;
            break;
        default:
            break;
    }
    if (failure) {
        *failure = 0;
    }
    BOOL chosen = ShowMode(&record, mode);
    DWORD error = g_uiCalls.commDlgExtendedError();
    if (!chosen && error == FNERR_INVALIDFILENAME) {
        // The proposed name was refused: ask once more with an empty name.
        buffer[0] = '\0';
        chosen = ShowMode(&record, mode);
        error = chosen ? 0 : g_uiCalls.commDlgExtendedError();
    }
    if (!chosen) {
        if (failure) {
            *failure = error;
        }
        return 0;
    }
    if (fileName) {
        std::snprintf(fileName, kFileNameSize, "%s", buffer);
    }
    return chosen;
}
