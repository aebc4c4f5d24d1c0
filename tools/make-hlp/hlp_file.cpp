// The layout follows the published descriptions of the format (helpdeco's
// helpfile.txt) and what Wine's viewer (programs/winhlp32) expects:
//
// - an internal file system: a 16-byte header, internal files each behind a
//   9-byte header, and a directory of them kept as a B+ tree;
// - |SYSTEM: version 1.21, title, contents topic and main window;
// - |TOPIC: 4 KB topic blocks holding the topic headers and paragraphs as
//   TOPICLINK records, one topic after another;
// - |FONT, |CONTEXT (context id hashes), |TTLBTREE (titles), |KWBTREE,
//   |KWDATA and |KWMAP (the keyword index).
//
// The topic blocks are marked LZ77-compressed but hold literal bytes only.
// For uncompressed 1.21 files the descriptions and Wine disagree on how a
// topic position is counted past the first block; for compressed ones they
// agree (block number times 16 KB), and literal runs cost an eighth more.
#include "hlp_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

struct Bytes : std::vector<uint8_t> {
    void U8(unsigned value) { push_back(static_cast<uint8_t>(value)); }
    void U16(unsigned value) {
        U8(value & 0xFF);
        U8((value >> 8) & 0xFF);
    }
    void U32(uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void Str(const std::string& text) { insert(end(), text.begin(), text.end()); }
    void Sz(const std::string& text) {
        Str(text);
        U8(0);
    }
    void Append(const std::vector<uint8_t>& more) { insert(end(), more.begin(), more.end()); }
    void Set32(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            (*this)[at + i] = static_cast<uint8_t>(value >> (8 * i));
        }
    }
};

const uint32_t kNone = 0xFFFFFFFF;
const size_t kBlockSize = 4096;      // a topic block, header included
const size_t kBlockHeader = 12;      // LastTopicLink, FirstTopicLink, LastTopicHeader
const size_t kBlockData = 3630;      // literal bytes whose LZ77 form fills a block
const size_t kTopicLinkHeader = 21;  // a TOPICLINK's fixed part
const size_t kTopicHeaderSize = 28;  // a 1.21 TOPICHEADER

// Compressed numbers of the paragraph records: the low bit says whether the
// short or the long form follows.
void CompressedUShort(Bytes* out, unsigned value) {
    if (value < 0x80) {
        out->U8(value * 2);
    } else {
        out->U16(value * 2 + 1);
    }
}

// Only values a byte holds (-64 to 63) and positive values are written.
void CompressedShort(Bytes* out, int value) {
    if (value >= -64 && value < 64) {
        out->U8(static_cast<unsigned>(value + 64) * 2);
    } else {
        out->U16(static_cast<unsigned>(value + 16384) * 2 + 1);
    }
}

void CompressedLong(Bytes* out, long value) {
    if (value >= -16384 && value < 16384) {
        out->U16(static_cast<unsigned>(value + 16384) * 2);
    } else {
        out->U32(static_cast<uint32_t>(value + 0x40000000L) * 2 + 1);
    }
}

enum Font { kBodyFont, kBoldFont, kTitleFont, kHeadingFont, kCodeFont, kFontCount };

struct FontStyle {
    unsigned attributes;  // 1 bold
    unsigned halfPoints;
    unsigned family;  // 1 modern, 3 swiss
    unsigned face;    // index into the face names
    uint32_t color;   // 0x00BBGGRR
};

const char* const kFaces[] = {"Arial", "Courier New"};
const FontStyle kFonts[kFontCount] = {
    {0, 20, 3, 0, 0x000000},  // body
    {1, 20, 3, 0, 0x000000},  // bold words
    {1, 28, 3, 0, 0x800000},  // topic title, dark blue
    {1, 22, 3, 0, 0x000000},  // heading
    {0, 18, 1, 1, 0x000000},  // report lines
};

// One TOPICLINK record before it is placed.
struct Record {
    uint8_t type;  // 2 topic header, 0x20 paragraph
    Bytes data1;   // LinkData1 (for a topic header: filled in after placing)
    Bytes data2;   // LinkData2: the paragraph's strings, or the topic title
    size_t topic;
    uint32_t pos = 0;  // TOPICPOS
    size_t Size() const {
        return kTopicLinkHeader + (type == 2 ? kTopicHeaderSize : data1.size()) + data2.size();
    }
};

// Strings go to LinkData2, each followed by the command that comes after it
// in LinkData1.
struct ParagraphBuilder {
    Bytes commands;
    Bytes strings;
    void Then(const std::string& text, std::initializer_list<unsigned> command) {
        strings.Sz(text);
        for (unsigned byte : command) {
            commands.U8(byte);
        }
    }
    void Jump(const std::string& text, uint32_t hash) {
        strings.Sz(text);
        commands.U8(0xE3);  // jump to a topic, shown as a hotspot
        commands.U32(hash);
    }
    void SetFont(const std::string& textBefore, Font font) { Then(textBefore, {0x80, font, 0}); }
};

Record Paragraph(const HelpParagraph& paragraph, size_t topic) {
    Font base = paragraph.kind == HelpParagraph::kTitle     ? kTitleFont
                : paragraph.kind == HelpParagraph::kHeading ? kHeadingFont
                : paragraph.kind == HelpParagraph::kCode    ? kCodeFont
                                                            : kBodyFont;
    ParagraphBuilder b;
    b.SetFont("", base);
    if (paragraph.kind == HelpParagraph::kBullet) {
        b.Then("\x95", {0x83});  // the bullet, then a tab to the text's indent
    }
    std::string pending;
    for (const HelpRun& run : paragraph.runs) {
        if (run.kind == HelpRun::kText && paragraph.kind == HelpParagraph::kCode) {
            size_t start = 0;
            for (size_t end; (end = run.text.find('\n', start)) != std::string::npos;
                 start = end + 1) {
                b.Then(run.text.substr(start, end - start), {0x81});  // line break
            }
            pending = run.text.substr(start);
        } else if (run.kind == HelpRun::kText) {
            pending += run.text;
        } else if (run.kind == HelpRun::kBold) {
            b.SetFont(pending, kBoldFont);
            b.SetFont(run.text, base);
            pending.clear();
        } else {
            b.Jump(pending, ContextHash(run.target));
            b.Then(run.text, {0x89});  // end of the hotspot
            pending.clear();
        }
    }
    b.Then(pending, {0x82});  // end of the paragraph
    b.Then("", {0xFF});

    // Paragraph format: spacing above and below, indents, a tab stop.
    unsigned bits = 0;
    Bytes format;
    switch (paragraph.kind) {
        case HelpParagraph::kTitle:
            bits = 0x0004;
            CompressedShort(&format, 12);
            break;
        case HelpParagraph::kBody:
            bits = 0x0002;
            CompressedShort(&format, 8);
            break;
        case HelpParagraph::kHeading:
            bits = 0x0002;
            CompressedShort(&format, 16);
            break;
        case HelpParagraph::kBullet:
            bits = 0x0002 | 0x0010 | 0x0040 | 0x0200;
            CompressedShort(&format, 4);    // above
            CompressedShort(&format, 28);   // left indent
            CompressedShort(&format, -14);  // first line: the bullet hangs out
            CompressedShort(&format, 1);    // one tab stop, at the indent
            CompressedUShort(&format, 28);
            break;
        case HelpParagraph::kCode:
            bits = 0x0002 | 0x0010;
            CompressedShort(&format, 8);
            CompressedShort(&format, 28);
            break;
    }
    Record record{0x20, {}, {}, topic};
    CompressedLong(&record.data1, static_cast<long>(b.strings.size()));  // TopicSize
    CompressedUShort(&record.data1, b.strings.size());                   // TopicLength
    record.data1.Str(std::string("\x00\x80\x00\x00", 4));
    record.data1.U16(bits);
    record.data1.Append(format);
    record.data1.Append(b.commands);
    record.data2 = b.strings;
    return record;
}

// A B+ tree of one leaf page; every index here fits one.
bool BTree(const char* structure, unsigned flags, unsigned pageSize, std::vector<Bytes> entries,
           Bytes* out, std::string* error, const char* name) {
    size_t used = 8;
    for (const Bytes& entry : entries) {
        used += entry.size();
    }
    if (used > pageSize) {
        *error = std::string(name) + " outgrows its B+ tree page";
        return false;
    }
    out->U16(0x293B);
    out->U16(flags);
    out->U16(pageSize);
    char text[16] = {};
    std::strncpy(text, structure, sizeof text - 1);
    out->Str(std::string(text, sizeof text));
    out->U16(0);       // must be zero
    out->U16(0);       // page splits
    out->U16(0);       // root page
    out->U16(0xFFFF);  // must be -1
    out->U16(1);       // pages
    out->U16(1);       // levels
    out->U32(static_cast<uint32_t>(entries.size()));
    out->U16(static_cast<unsigned>(pageSize - used));  // unused bytes of the page
    out->U16(static_cast<unsigned>(entries.size()));
    out->U16(0xFFFF);  // previous leaf
    out->U16(0xFFFF);  // next leaf
    for (const Bytes& entry : entries) {
        out->Append(entry);
    }
    out->resize(out->size() + pageSize - used, 0);
    return true;
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

uint32_t ContextHash(const std::string& id) {
    uint32_t hash = 0;
    for (unsigned char c : id) {
        unsigned value = std::isalpha(c)   ? std::toupper(c) - 'A' + 17
                         : c == '0'        ? 10
                         : std::isdigit(c) ? c - '0'
                         : c == '.'        ? 12
                                           : 13;  // '_'
        hash = hash * 43 + value;
    }
    return hash;
}

bool BuildHelpFile(const HelpDocument& document, std::vector<uint8_t>* file, std::string* error) {
    // Topic headers and paragraphs, in order, with an empty topic header at
    // the end: readers take the last record as the end mark.
    std::vector<Record> records;
    for (size_t t = 0; t <= document.topics.size(); ++t) {
        Record header{2, {}, {}, t};
        if (t < document.topics.size()) {
            header.data2.Sz(document.topics[t].title);
        }
        records.push_back(header);
        if (t == document.topics.size()) {
            break;
        }
        for (const HelpParagraph& paragraph : document.topics[t].paragraphs) {
            records.push_back(Paragraph(paragraph, t));
        }
    }

    // Place the records in blocks; none crosses a block's end. A topic's
    // offset counts the paragraph text before it in its block.
    std::vector<uint32_t> topicOffset(document.topics.size() + 1);
    std::vector<Bytes> blocks(1);
    std::vector<uint32_t> firstLink(1, kNone), lastHeader(1, kNone);
    uint32_t characters = 0, currentHeader = kNone;
    for (Record& record : records) {
        if (record.Size() > kBlockData) {
            *error = "a paragraph of topic " + document.topics[record.topic].id +
                     " is longer than a topic block";
            return false;
        }
        if (blocks.back().size() + record.Size() > kBlockData) {
            blocks.emplace_back();
            firstLink.push_back(kNone);
            lastHeader.push_back(currentHeader);
            characters = 0;
        }
        uint32_t block = static_cast<uint32_t>(blocks.size() - 1);
        record.pos = block * 0x4000 + static_cast<uint32_t>(blocks.back().size() + kBlockHeader);
        if (firstLink.back() == kNone) {
            firstLink.back() = record.pos;
        }
        if (record.type == 2) {
            topicOffset[record.topic] = block * 0x8000 + characters;
            currentHeader = record.pos;
        } else {
            characters += static_cast<uint32_t>(record.data2.size());
        }
        blocks.back().resize(blocks.back().size() + record.Size());
    }

    // Now that every position is known: the links between records, and the
    // topic headers.
    for (size_t i = 0; i < records.size(); ++i) {
        Record& record = records[i];
        if (record.type == 2) {
            uint32_t size = 0, scroll = kNone, next = kNone;
            for (size_t j = i; j < records.size() && (j == i || records[j].type != 2); ++j) {
                size += static_cast<uint32_t>(records[j].Size());
            }
            if (i + 1 < records.size() && records[i + 1].type != 2) {
                scroll = records[i + 1].pos;
            }
            for (size_t j = i + 1; j < records.size(); ++j) {
                if (records[j].type == 2) {
                    next = records[j].pos;
                    break;
                }
            }
            record.data1.U32(size);
            record.data1.U32(kNone);  // no browse sequence
            record.data1.U32(kNone);
            record.data1.U32(static_cast<uint32_t>(record.topic));
            record.data1.U32(kNone);  // no non-scrolling region
            record.data1.U32(scroll);
            record.data1.U32(next);
        }
        Bytes link;
        link.U32(static_cast<uint32_t>(record.Size()));        // BlockSize
        link.U32(static_cast<uint32_t>(record.data2.size()));  // DataLen2
        link.U32(i == 0 ? kNone : records[i - 1].pos);
        link.U32(i + 1 == records.size() ? kNone : records[i + 1].pos);
        link.U32(static_cast<uint32_t>(kTopicLinkHeader + record.data1.size()));  // DataLen1
        link.U8(record.type);
        link.Append(record.data1);
        link.Append(record.data2);
        Bytes& block = blocks[record.pos / 0x4000];
        std::copy(link.begin(), link.end(), block.begin() + (record.pos % 0x4000 - kBlockHeader));
    }

    Bytes topic;
    for (size_t b = 0; b < blocks.size(); ++b) {
        size_t start = topic.size();
        topic.U32(b == 0 ? kNone : records[0].pos);  // patched below
        topic.U32(firstLink[b]);
        topic.U32(lastHeader[b]);
        // LZ77 with literals only: a zero flag byte before every eight bytes.
        for (size_t i = 0; i < blocks[b].size(); i += 8) {
            topic.U8(0);
            topic.insert(topic.end(), blocks[b].begin() + i,
                         blocks[b].begin() + std::min(i + 8, blocks[b].size()));
        }
        topic.resize(start + kBlockSize, 0);
    }
    for (size_t b = 1; b < blocks.size(); ++b) {
        uint32_t last = kNone;
        for (const Record& record : records) {
            if (record.pos / 0x4000 == b - 1) {
                last = record.pos;
            }
        }
        topic.Set32(b * kBlockSize, last);
    }

    Bytes system;
    system.U16(0x036C);
    system.U16(21);  // WinHelp 3.1
    system.U16(1);
    system.U32(0);  // no date: the same text gives the same file
    system.U16(4);  // LZ77 topic blocks of 4 KB
    auto systemRecord = [&system](unsigned type, const Bytes& data) {
        system.U16(type);
        system.U16(static_cast<unsigned>(data.size()));
        system.Append(data);
    };
    Bytes title, contents;
    title.Sz(document.topics[0].title);
    contents.U32(topicOffset[0]);
    systemRecord(1, title);
    systemRecord(3, contents);
    // The main window, with the help file's title as its caption; its place
    // and size are left to the viewer.
    Bytes window;
    window.U16(0x0002 | 0x0004);  // name and caption given
    std::string fields = std::string(10, '\0') + "main" + std::string(5, '\0') +
                         document.topics[0].title.substr(0, 50);
    fields.resize(10 + 9 + 51, '\0');
    window.Str(fields);
    window.resize(window.size() + 10, 0);  // x, y, width, height, maximize
    window.U32(0xFFFFFF);                  // background, scrolling region
    window.U32(0xFFFFFF);                  // and the non-scrolling one
    systemRecord(6, window);

    Bytes font;
    const size_t faceCount = sizeof kFaces / sizeof kFaces[0];
    font.U16(faceCount);
    font.U16(kFontCount);
    font.U16(8);
    font.U16(static_cast<unsigned>(8 + 32 * faceCount));
    for (const char* face : kFaces) {
        std::string name(face);
        name.resize(32, '\0');
        font.Str(name);
    }
    for (const FontStyle& style : kFonts) {
        font.U8(style.attributes);
        font.U8(style.halfPoints);
        font.U8(style.family);
        font.U16(style.face);
        font.U8(style.color & 0xFF);
        font.U8((style.color >> 8) & 0xFF);
        font.U8((style.color >> 16) & 0xFF);
        font.U8(0xFF);  // background, unused
        font.U8(0xFF);
        font.U8(0xFF);
    }

    std::vector<std::pair<int32_t, uint32_t>> hashes;
    std::vector<Bytes> titles;
    std::vector<std::pair<std::string, uint32_t>> keywords;
    for (size_t t = 0; t < document.topics.size(); ++t) {
        const HelpTopic& help = document.topics[t];
        hashes.emplace_back(static_cast<int32_t>(ContextHash(help.id)), topicOffset[t]);
        Bytes entry;
        entry.U32(topicOffset[t]);
        entry.Sz(help.title);
        titles.push_back(entry);
        for (const std::string& keyword : help.keywords) {
            keywords.emplace_back(keyword, topicOffset[t]);
        }
    }
    // WinHelp compares hashes as signed numbers.
    std::sort(hashes.begin(), hashes.end());
    for (size_t i = 1; i < hashes.size(); ++i) {
        if (hashes[i].first == hashes[i - 1].first) {
            *error = "two context ids have the same hash";
            return false;
        }
    }
    std::vector<Bytes> contextEntries;
    for (const auto& hash : hashes) {
        Bytes entry;
        entry.U32(static_cast<uint32_t>(hash.first));
        entry.U32(hash.second);
        contextEntries.push_back(entry);
    }
    std::sort(keywords.begin(), keywords.end(),
              [](const auto& a, const auto& b) { return CaseInsensitiveLess(a.first, b.first); });
    std::vector<Bytes> keywordEntries;
    Bytes keywordData, keywordMap;
    for (const auto& keyword : keywords) {
        Bytes entry;
        entry.Sz(keyword.first);
        entry.U16(1);  // topics for this keyword
        entry.U32(static_cast<uint32_t>(keywordData.size()));
        keywordEntries.push_back(entry);
        keywordData.U32(keyword.second);
    }
    keywordMap.U16(1);  // one leaf page, whose first keyword is number 0
    keywordMap.U32(0);
    keywordMap.U16(0);

    std::vector<std::pair<std::string, Bytes>> files;
    Bytes tree;
    if (!BTree("L4", 0x0002, 2048, contextEntries, &tree, error, "|CONTEXT")) {
        return false;
    }
    files.emplace_back("|CONTEXT", tree);
    files.emplace_back("|FONT", font);
    tree.clear();
    if (!BTree("F24", 0x0002, 2048, keywordEntries, &tree, error, "|KWBTREE")) {
        return false;
    }
    files.emplace_back("|KWBTREE", tree);
    files.emplace_back("|KWDATA", keywordData);
    files.emplace_back("|KWMAP", keywordMap);
    files.emplace_back("|SYSTEM", system);
    files.emplace_back("|TOPIC", topic);
    tree.clear();
    if (!BTree("Lz", 0x0002, 2048, titles, &tree, error, "|TTLBTREE")) {
        return false;
    }
    files.emplace_back("|TTLBTREE", tree);
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    // The file: header, internal files, then the directory.
    Bytes out;
    out.U32(0x00035F3F);
    out.U32(0);      // directory offset, patched below
    out.U32(kNone);  // no free blocks
    out.U32(0);      // file size, patched below
    auto internalFile = [&out](const Bytes& content) {
        out.U32(static_cast<uint32_t>(content.size() + 9));  // reserved, header included
        out.U32(static_cast<uint32_t>(content.size()));
        out.U8(4);
        out.Append(content);
    };
    std::vector<Bytes> directoryEntries;
    for (const auto& internal : files) {
        Bytes entry;
        entry.Sz(internal.first);
        entry.U32(static_cast<uint32_t>(out.size()));
        directoryEntries.push_back(entry);
        internalFile(internal.second);
    }
    Bytes directory;
    if (!BTree("z4", 0x0402, 1024, directoryEntries, &directory, error, "the directory")) {
        return false;
    }
    out.Set32(4, static_cast<uint32_t>(out.size()));
    internalFile(directory);
    out.Set32(12, static_cast<uint32_t>(out.size()));
    file->assign(out.begin(), out.end());
    return true;
}
