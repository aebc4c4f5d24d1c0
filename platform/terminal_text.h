// What a drive says about itself reaches a terminal only as printable text:
// an ESC or BEL in a model or serial number (from a capture someone shared,
// say) would otherwise retitle the window, clear the screen or erase lines.
#pragma once

#include <cstdio>
#include <string>

// Turns the output into what a terminal is shown: every byte outside 0x20-0x7E but
// the tab and the line ends becomes '?'. The program's own texts are plain
// ASCII, so only what a drive sent is changed; the reading itself, and a
// file or pipe, keep the drive's bytes.
inline void MaskForTerminal(std::string* text) {
    for (char& c : *text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte > 0x7E) && c != '\t' && c != '\r' && c != '\n') {
            c = '?';
        }
    }
}

// A message on standard error, whatever it quotes (a file name, a device, a
// drive's text), as one line of printable text, in a terminal or a log
// alike: ESC would drive the terminal, a line break forge a line of its own.
// Every byte outside 0x20-0x7E becomes '?', as on a terminal's standard
// output, line ends and tabs included.
inline void SayError(FILE* err, const std::string& message) {
    std::string line = "vantrel-report: " + message;
    for (char& c : line) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) {
            c = '?';
        }
    }
    line += '\n';
    std::fputs(line.c_str(), err);
}

// True when stream is a terminal (or on Windows a console).
bool IsTerminal(FILE* stream);
