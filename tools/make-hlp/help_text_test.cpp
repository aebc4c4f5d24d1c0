// What the help text's checks refuse: each would give a help file with a
// jump to nowhere, a topic no reader finds, or an index entry the viewer
// cannot follow.
#include <gtest/gtest.h>

#include "help_text.h"

namespace {

struct Case {
    const char* text;
    const char* error;  // empty when the text is fine
};

const Case kCases[] = {
    {"@topic contents Help\n* [[a|A]]\n@topic a Topic A\n@keywords one; two\n", ""},
    {"@topic contents Help\n* [[b|B]]\n@topic a Topic A\n", "jumps to unknown topic b"},
    {"@topic contents Help\n* [[a|A]]\n@topic a A\nSee [[c|C]].\n", "jumps to unknown topic c"},
    {"@topic contents Help\n@topic a Topic A\n", "does not lead to a"},
    {"@topic contents Help\n[[a|A]]\n@topic a A\n@keywords One\n@topic b B\n", "lead to b"},
    {"@topic contents Help\n[[a|A]] [[b|B]]\n@topic a A\n@keywords One\n@topic b B\n@keywords "
     "one\n",
     "line 6: index entry \"one\" is used twice"},
    {"@topic contents Help\n[[a|A]]\n@topic a A\n@topic A B\n",
     "line 4: context id A is used twice"},
    {"@topic con-tents Help\n", "line 1: @topic needs a context id"},
    {"Text\n@topic contents Help\n", "line 1: text before the first @topic"},
    {"@topic contents Help\nsee [[a A]]\n", "line 2: a jump is written"},
    {"@topic contents Help\n\n**bold\n", "line 3: ** is not closed"},
};

TEST(HelpTextTest, RefusesTextsThatWouldMisleadAReader) {
    for (const Case& c : kCases) {
        HelpDocument document;
        std::string error;
        bool ok = ParseHelpText(c.text, &document, &error);
        EXPECT_EQ(*c.error == '\0', ok) << c.text;
        EXPECT_NE(std::string::npos, error.find(c.error)) << c.text << " gave: " << error;
    }
}

}  // namespace
