// Writes a help document as a WinHelp 3.1 file (.HLP), the format that
// WinHelp on Windows 3.1 and WINHLP32 on Windows 95 to XP read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "help_text.h"

// The number WinHelp looks a context id up by, in |CONTEXT and in jumps.
uint32_t ContextHash(const std::string& id);

// Fails (with *error set) only when a part outgrows what this writer lays
// out: a paragraph longer than a topic block, or an index larger than one
// B+ tree page.
bool BuildHelpFile(const HelpDocument& document, std::vector<uint8_t>* file, std::string* error);
