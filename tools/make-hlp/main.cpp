// make-hlp INPUT OUTPUT: the help text in INPUT as the WinHelp file OUTPUT.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "help_text.h"
#include "hlp_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-hlp INPUT OUTPUT\n");
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "make-hlp: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    HelpDocument document;
    std::string error;
    std::vector<uint8_t> file;
    if (!ParseHelpText(text, &document, &error) || !BuildHelpFile(document, &file, &error)) {
        std::fprintf(stderr, "make-hlp: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::ofstream output(argv[2], std::ios::binary);
    output.write(reinterpret_cast<const char*>(file.data()),
                 static_cast<std::streamsize>(file.size()));
    if (!output) {
        std::fprintf(stderr, "make-hlp: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
