#include "help_text.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

namespace {

bool Fail(std::string* error, int line, const std::string& message) {
    *error = (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + message;
    return false;
}

bool ParseInline(const std::string& text, std::vector<HelpRun>* runs, std::string* problem) {
    bool bold = false;
    std::string pending;
    auto flush = [&] {
        if (!pending.empty()) {
            runs->push_back({bold ? HelpRun::kBold : HelpRun::kText, pending, ""});
        }
        pending.clear();
    };
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "**") == 0) {
            flush();
            bold = !bold;
            i += 2;
        } else if (text.compare(i, 2, "[[") == 0) {
            size_t bar = text.find('|', i);
            size_t end = text.find("]]", i);
            if (bar == std::string::npos || end == std::string::npos || bar > end) {
                *problem = "a jump is written [[context_id|text]]";
                return false;
            }
            flush();
            runs->push_back({HelpRun::kJump, text.substr(bar + 1, end - bar - 1),
                             text.substr(i + 2, bar - i - 2)});
            i = end + 2;
        } else {
            pending += text[i++];
        }
    }
    flush();
    if (bold) {
        *problem = "** is not closed";
        return false;
    }
    return true;
}

// WinHelp 3.1 hashes only letters, digits, '.' and '_' of a context id.
bool ValidContextId(const std::string& id) {
    return !id.empty() && std::all_of(id.begin(), id.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '_';
    });
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

}  // namespace

bool ParseHelpText(const std::string& text, HelpDocument* document, std::string* error) {
    std::istringstream input(text);
    std::string line;
    int number = 0;
    HelpTopic* topic = nullptr;
    HelpParagraph::Kind kind = HelpParagraph::kBody;
    std::string pending;  // the paragraph being gathered
    int pendingLine = 0;
    std::set<std::string> ids;
    std::set<std::string> keywords;

    auto finish = [&]() -> bool {
        if (pending.empty()) {
            return true;
        }
        HelpParagraph paragraph{kind, {}};
        std::string problem;
        if (kind == HelpParagraph::kCode) {
            paragraph.runs.push_back({HelpRun::kText, pending, ""});
        } else if (!ParseInline(pending, &paragraph.runs, &problem)) {
            return Fail(error, pendingLine, problem);
        }
        topic->paragraphs.push_back(paragraph);
        pending.clear();
        return true;
    };

    while (std::getline(input, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '#') {
            continue;
        }
        if (line.compare(0, 7, "@topic ") == 0) {
            if (!finish()) {
                return false;
            }
            std::string rest = Trim(line.substr(7));
            size_t space = rest.find(' ');
            std::string id = rest.substr(0, space);
            std::string title = space == std::string::npos ? "" : Trim(rest.substr(space));
            if (!ValidContextId(id) || title.empty()) {
                return Fail(
                    error, number,
                    "@topic needs a context id of letters, digits, '.' and '_', then a title");
            }
            if (!ids.insert(Lower(id)).second) {
                return Fail(error, number, "context id " + id + " is used twice");
            }
            document->topics.push_back({id, title, {}, {}});
            topic = &document->topics.back();
            topic->paragraphs.push_back({HelpParagraph::kTitle, {{HelpRun::kText, title, ""}}});
            continue;
        }
        if (!topic) {
            if (Trim(line).empty()) {
                continue;
            }
            return Fail(error, number, "text before the first @topic");
        }
        if (line.compare(0, 10, "@keywords ") == 0) {
            std::istringstream list(line.substr(10));
            std::string keyword;
            while (std::getline(list, keyword, ';')) {
                keyword = Trim(keyword);
                if (keyword.empty()) {
                    continue;
                }
                // The index would have to offer a choice of topics, which
                // Wine's viewer cannot; one topic per index entry.
                if (!keywords.insert(Lower(keyword)).second) {
                    return Fail(error, number, "index entry \"" + keyword + "\" is used twice");
                }
                topic->keywords.push_back(keyword);
            }
            continue;
        }
        if (Trim(line).empty()) {
            if (!finish()) {
                return false;
            }
            continue;
        }
        bool code = line.compare(0, 2, "  ") == 0;
        bool heading = line.compare(0, 3, "== ") == 0;
        bool bullet = line.compare(0, 2, "* ") == 0;
        // A paragraph ends at a blank line, at a heading or bullet, and
        // where code lines begin or end.
        if ((code != (kind == HelpParagraph::kCode) || heading || bullet) && !finish()) {
            return false;
        }
        if (pending.empty()) {
            pendingLine = number;
            kind = code      ? HelpParagraph::kCode
                   : heading ? HelpParagraph::kHeading
                   : bullet  ? HelpParagraph::kBullet
                             : HelpParagraph::kBody;
        }
        if (code) {
            pending += (pending.empty() ? "" : "\n") + line.substr(2);
        } else {
            std::string content = Trim(line.substr(heading ? 3 : bullet ? 2 : 0));
            pending += (pending.empty() ? "" : " ") + content;
        }
        if (heading && !finish()) {
            return false;
        }
    }
    if (topic && !finish()) {
        return false;
    }
    if (document->topics.empty()) {
        return Fail(error, 0, "no @topic");
    }

    std::set<std::string> reached;
    for (const HelpTopic& t : document->topics) {
        for (const HelpParagraph& p : t.paragraphs) {
            for (const HelpRun& run : p.runs) {
                if (run.kind != HelpRun::kJump) {
                    continue;
                }
                if (!ids.count(Lower(run.target))) {
                    return Fail(error, 0,
                                "topic " + t.id + " jumps to unknown topic " + run.target);
                }
                if (&t == &document->topics[0]) {
                    reached.insert(Lower(run.target));
                }
            }
        }
    }
    for (size_t i = 1; i < document->topics.size(); ++i) {
        if (!reached.count(Lower(document->topics[i].id))) {
            return Fail(error, 0, "the contents topic does not lead to " + document->topics[i].id);
        }
    }
    return true;
}
