#include "tools/vantrel-report/terminal_text.h"

std::string TerminalText(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte > 0x7E) && c != '\t' && c != '\r' && c != '\n') {
            c = '?';
        }
    }
    return shown;
}
