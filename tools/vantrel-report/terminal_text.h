// What a drive says about itself reaches a terminal only as printable text:
// an ESC or BEL in a model or serial number (from a capture someone shared,
// say) would otherwise retitle the window, clear the screen or erase lines.
#pragma once

#include <cstdio>
#include <string>

// The output as a terminal is shown it: every byte outside 0x20-0x7E but
// the tab and the line ends becomes '?'. The program's own texts are plain
// ASCII, so only what a drive sent is changed; the reading itself, and a
// file or pipe, keep the drive's bytes.
std::string TerminalText(const std::string& text);

// True when stream is a terminal (or on Windows a console).
bool IsTerminal(FILE* stream);
