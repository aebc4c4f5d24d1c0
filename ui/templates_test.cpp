// The dialog templates as built into the executables, read back control by
// control.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

struct Control {
    int id;
    std::string className;
    std::string text;
    DWORD style;
    int x, y, w, h;
};

struct Dialog {
    DWORD style = 0, extendedStyle = 0;
    int x = 0, y = 0, w = 0, h = 0;
    std::string menu, className, title, font;
    int pointSize = 0;
    std::vector<Control> controls;
};

class Reader {
  public:
    explicit Reader(const BYTE* data) : p_(data) {}
    WORD Word() {
        WORD w = static_cast<WORD>(p_[0] | (p_[1] << 8));
        p_ += 2;
        return w;
    }
    DWORD Dword() {
        DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    // A name or an ordinal, shown as "#n" for ordinals.
    std::string NameOrOrdinal() {
        WORD first = Word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(Word());
        }
        std::string text;
        for (WORD c = first; c != 0; c = Word()) {
            text += static_cast<char>(c);
        }
        return text;
    }
    void AlignDword(const BYTE* base) {
        while ((p_ - base) % 4) {
            ++p_;
        }
    }
    const BYTE* p_;
};

Dialog LoadDialog(const char* exe, int id) {
    Dialog dialog;
    HMODULE module = LoadLibraryExA(exe, NULL, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(nullptr, module) << exe;
    if (!module) {
        return dialog;
    }
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    EXPECT_NE(nullptr, found);
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    Reader r(base);
    dialog.style = r.Dword();
    dialog.extendedStyle = r.Dword();
    const int count = r.Word();
    dialog.x = static_cast<short>(r.Word());
    dialog.y = static_cast<short>(r.Word());
    dialog.w = static_cast<short>(r.Word());
    dialog.h = static_cast<short>(r.Word());
    dialog.menu = r.NameOrOrdinal();
    dialog.className = r.NameOrOrdinal();
    dialog.title = r.NameOrOrdinal();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = r.Word();
        dialog.font = r.NameOrOrdinal();
    }
    for (int i = 0; i < count; ++i) {
        r.AlignDword(base);
        Control c;
        c.style = r.Dword();
        EXPECT_EQ(0u, r.Dword()) << "control " << i << " has an extended style";
        c.x = static_cast<short>(r.Word());
        c.y = static_cast<short>(r.Word());
        c.w = static_cast<short>(r.Word());
        c.h = static_cast<short>(r.Word());
        c.id = r.Word();
        c.className = r.NameOrOrdinal();
        c.text = r.NameOrOrdinal();
        const WORD extra = r.Word();
        r.p_ += extra;
        dialog.controls.push_back(c);
    }
    FreeLibrary(module);
    return dialog;
}

// Predefined classes are stored as ordinals: 0x80 button, 0x81 edit,
// 0x82 static, 0x85 combo box.
const std::vector<Control> kMainControls = {
    {1002, "#133", "", 0x50210003, 128, 13, 129, 62},
    {1005, "#128", "&Get Info", 0x50010000, 267, 11, 53, 17},
    {1003, "#129", "", 0x50A11084, 17, 49, 335, 57},
    {1004, "SysListView32", "List1", 0x50810005, 17, 145, 335, 101},
    {3, "#128", "&Export results", 0x50010000, 8, 279, 67, 17},
    {1006, "#128", "&Corvane website", 0x50010000, 80, 279, 67, 17},
    {1001, "#128", "&About", 0x50010000, 152, 279, 67, 17},
    {1007, "#128", "&Help", 0x50010000, 224, 279, 67, 17},
    {1, "#128", "&Exit", 0x50010001, 296, 279, 67, 17},
    {65535, "#128", "SMART Attributes", 0x50000007, 7, 132, 357, 121},
    {65535, "#130", "Select Drive", 0x50020000, 82, 16, 41, 8},
    {65535, "#128", "Drive Information", 0x50000007, 7, 37, 357, 88},
    {65535, "#130", "#103", 0x50000003, 15, 9, 20, 20},
    {65535, "#130", "*", 0x50020001, 69, 256, 234, 17},  // the notice, own wording
};

const std::vector<Control> kAboutControls = {
    {1, "#128", "OK", 0x50010001, 67, 84, 50, 14},
    {1000, "#130", "Version Info", 0x50021001, 17, 35, 151, 11},
    {65535, "#130", "Corvane Software 2026", 0x50020000, 53, 53, 80, 8},
    {65535, "#130", "www.example.com", 0x50020000, 60, 67, 64, 8},
    {65535, "#130", "#103", 0x50000003, 82, 7, 20, 20},
};

void ExpectControls(const std::vector<Control>& expected, const Dialog& dialog) {
    ASSERT_EQ(expected.size(), dialog.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control& want = expected[i];
        const Control& got = dialog.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " " + want.text);
        EXPECT_EQ(want.id, got.id);
        // Class names are matched without regard to case, as the system does.
        EXPECT_EQ(0, lstrcmpiA(want.className.c_str(), got.className.c_str()))
            << want.className << " / " << got.className;
        if (want.text != "*") {
            EXPECT_EQ(want.text, got.text);
        }
        EXPECT_EQ(want.style, got.style);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.w, got.w);
        EXPECT_EQ(want.h, got.h);
    }
}

struct Program {
    const char* exe;
    const char* mainCaption;
    const char* aboutCaption;
};

// The demo's captions say that its drives are samples; the product's do not.
class TemplateTest : public ::testing::TestWithParam<Program> {};

TEST_P(TemplateTest, MainWindow) {
    const Dialog d = LoadDialog(GetParam().exe, 101);
    EXPECT_EQ(0x80C800C0u, d.style);
    EXPECT_EQ(0u, d.extendedStyle);
    EXPECT_EQ(0, d.x);
    EXPECT_EQ(0, d.y);
    EXPECT_EQ(371, d.w);
    EXPECT_EQ(303, d.h);
    EXPECT_EQ("", d.menu);
    EXPECT_EQ("", d.className);
    EXPECT_EQ(GetParam().mainCaption, d.title);
    EXPECT_EQ(8, d.pointSize);
    EXPECT_EQ("MS Sans Serif", d.font);
    ExpectControls(kMainControls, d);
    ASSERT_EQ(kMainControls.size(), d.controls.size());
    const std::string notice = d.controls.back().text;
    EXPECT_NE(std::string::npos, notice.find('\n')) << "the notice has two lines";
}

TEST_P(TemplateTest, AboutBox) {
    const Dialog d = LoadDialog(GetParam().exe, 102);
    EXPECT_EQ(0x80C800C0u, d.style);
    EXPECT_EQ(0u, d.extendedStyle);
    EXPECT_EQ(186, d.w);
    EXPECT_EQ(105, d.h);
    EXPECT_EQ(GetParam().aboutCaption, d.title);
    EXPECT_EQ(8, d.pointSize);
    EXPECT_EQ("MS Sans Serif", d.font);
    ExpectControls(kAboutControls, d);
}

TEST_P(TemplateTest, IconIsOne32By32TwentyFourBitImage) {
    HMODULE module = LoadLibraryExA(GetParam().exe, NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(103), MAKEINTRESOURCEA(14));
    ASSERT_NE(nullptr, group);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    EXPECT_EQ(1, dir[4] | (dir[5] << 8));           // one image
    EXPECT_EQ(32, dir[6]);                          // width
    EXPECT_EQ(32, dir[7]);                          // height
    EXPECT_EQ(24, dir[6 + 6] | (dir[6 + 7] << 8));  // bits per pixel
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, TemplateTest,
                         ::testing::Values(Program{VANTREL_EXE, "Vantrel by Corvane Software",
                                                   "About"},
                                           Program{VANTREL_DEMO_EXE, VANTREL_DEMO_MAIN_CAPTION,
                                                   VANTREL_DEMO_ABOUT_CAPTION}));

}  // namespace
