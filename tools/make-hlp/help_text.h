// The help text's own markup, read into topics and paragraphs. The format is
// described at the top of help/vantrel-help.txt.
#pragma once

#include <string>
#include <vector>

struct HelpRun {
    enum Kind { kText, kBold, kJump };
    Kind kind;
    std::string text;
    std::string target;  // the context id a jump leads to
};

struct HelpParagraph {
    enum Kind { kTitle, kBody, kHeading, kBullet, kCode };
    Kind kind;
    // A code paragraph is one text run whose lines are split by '\n'.
    std::vector<HelpRun> runs;
};

struct HelpTopic {
    std::string id;
    std::string title;
    std::vector<std::string> keywords;
    std::vector<HelpParagraph> paragraphs;  // the first one is the title
};

// topics[0] is the contents topic; its title is the help file's title.
struct HelpDocument {
    std::vector<HelpTopic> topics;
};

// Reads the text and checks what a reader would trip over: unknown jump
// targets, context ids WinHelp cannot hash, topics the contents topic does
// not reach, index entries used twice. On failure *error names the line.
bool ParseHelpText(const std::string& text, HelpDocument* document, std::string* error);
