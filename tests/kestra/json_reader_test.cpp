// The two readers of a document answer the walk's questions alike: the tape reader, which
// import tries first, may only take a document the way the stream reader takes it. And the
// writer's lines.
#include "kestra/json_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "kestra/json_tape_reader.h"
#include "kestra/json_writer.h"

using namespace kestra::json;

namespace {

// The text with room after it, as both readers need.
struct Padded {
    explicit Padded(std::string_view text) : room(std::string(text) + std::string(64, ' ')) {}
    std::string_view view() const { return std::string_view(room).substr(0, room.size() - 64); }
    std::string room;
};
static_assert(kDocumentPadding == 64);

void Dump(DocumentReader& r, std::string& out);
void DumpMembers(DocumentReader& r, std::string& out);

// Every member in document order, each sought by the first name not used yet: duplicate names
// show which member a reader finds (a second one right after the first is never found).
void DumpMembers(DocumentReader& r, std::string& out) {
    std::string last;
    while (const auto name = r.firstUnused()) {
        if (!last.empty() && *name == last) {
            out += "stuck";
            return;
        }
        last = *name;
        EXPECT_TRUE(r.has(last));
        r.seekMember(last, true);
        out += last + ':';
        Dump(r, out);
        out += ',';
    }
}

void DumpObject(DocumentReader& r, std::string& out) {
    r.enterObject();
    const std::size_t depth = r.depth();
    out += '{';
    DumpMembers(r, out);
    r.leaveTo(depth - 1);
    out += '}';
}

void DumpArray(DocumentReader& r, std::string& out) {
    const std::size_t count = r.arraySize();
    const bool empty = r.arrayIsEmpty();
    r.enterArray();
    out += '[' + std::to_string(count) + (empty ? "e" : "") + ':';
    std::size_t i = 0;
    for (; r.seekElement(i); ++i) {
        Dump(r, out);
        out += ',';
    }
    if (i != count) out += "!count";
    if (r.kind() != ValueKind::Missing) out += "!beyond";
    // Back to the first element after the end.
    if (count > 0 && r.seekElement(0)) out += std::to_string(static_cast<int>(r.kind()));
    r.leaveTo(r.depth() - 1);
    out += ']';
}

void Dump(DocumentReader& r, std::string& out) {
    std::string scratch;
    switch (r.kind()) {
        case ValueKind::Object:
            return DumpObject(r, out);
        case ValueKind::Array:
            return DumpArray(r, out);
        case ValueKind::Number: {
            const DocumentNumber n = r.number();
            out += !n.whole     ? "frac"
                   : n.negative ? std::to_string(n.value)
                                : std::to_string(n.magnitude);
            return;
        }
        case ValueKind::Text:
            out += '"' + std::string(r.text(scratch)) + '"';
            return;
        case ValueKind::Boolean:
            out += "bool";
            return;
        case ValueKind::Null:
            out += "null";
            return;
        case ValueKind::Missing:
            out += "missing";
            return;
    }
}

std::string DumpRoot(DocumentReader& r) {
    std::string out = "{";
    DumpMembers(r, out);
    return out + '}';
}

// Members out of order, absent ones, values read twice, an object entered twice.
std::string Questions(DocumentReader& r) {
    std::string out, scratch;
    out += r.has("z") ? "z " : "-z ";
    r.markUsed("c");
    out += r.firstUnused().value_or("none");
    r.seekMember("c", false);
    out += " c" + std::to_string(static_cast<int>(r.kind()));
    r.seekMember("a", true);
    out += " a" + std::to_string(r.number().magnitude) + std::to_string(r.number().magnitude);
    out += r.seekMember("y", true) ? " y" : " -y";
    out += " still" + std::to_string(r.number().magnitude);
    r.seekMember("b", true);
    for (int round = 0; round < 2; ++round) {
        r.enterObject();
        out += " b" + std::string(r.firstUnused().value_or("none"));
        r.seekMember("t", true);
        out += ":" + std::string(r.text(scratch));
        r.leaveTo(r.depth() - 1);
    }
    r.seekMember("c", true);
    r.enterArray();
    for (std::size_t i : {2, 0, 1, 5, 1})
        out += r.seekElement(i) ? " e" + std::to_string(r.number().magnitude) : " -e";
    out += " n" + std::to_string(r.size());
    return out;
}

// What a reader shows after the walk read some members: the current value, then every member
// not read yet, in document order.
std::string Rest(DocumentReader& r) {
    std::string out = "current ";
    Dump(r, out);
    out += " rest {";
    DumpMembers(r, out);
    return out + '}';
}

// Members read in order, some only looked at, then one behind.
std::string InOrderQuestions(DocumentReader& r) {
    std::string out;
    auto unused = [&] { out += ' ' + std::string(r.firstUnused().value_or("none")); };
    r.seekMember("a", false);
    unused();
    out += r.has("b") ? " b" : " -b";
    out += r.has("a") ? " a" : " -a";
    out += r.has("e") ? " e" : " -e";
    out += r.has("z") ? " z" : " -z";
    r.markUsed("a");
    unused();
    r.seekMember("b", true);
    r.seekMember("b", true);
    r.seekMember("c", false);
    unused();
    out += " c" + std::to_string(static_cast<int>(r.kind()));
    r.seekMember("c", true);
    r.seekMember("d", false);
    r.seekMember("a", true);
    unused();
    return out + ' ' + Rest(r);
}

TEST(DocumentReaders, AnswerAlike) {
    struct Case {
        const char* what;
        std::string_view text;
        std::string expected;  // of the tape reader's dump
        std::function<std::string(DocumentReader&)> ask = DumpRoot;
    };
    const Case cases[] = {
        {"nested", R"({"a":1,"b":[1,2,{"c":"x"}],"d":{"e":null,"f":true}})",
         R"({a:1,b:[3:1,2,{c:"x",},3],d:{e:null,f:bool,},})"},
        {"empty ones", R"({"e":{},"f":[],"g":[[]]})", R"({e:{},f:[0e:],g:[1:[0e:],5],})"},
        {"escapes", R"({"v\u0065rsion":"a\nb\u00e9","t":"\ud83d\ude00","q":"\"\\\/"})",
         "{version:\"a\nb\xc3\xa9\",t:\"\xf0\x9f\x98\x80\",q:\"\"\\/\",}"},
        {"numbers",
         R"({"n":[0,-0,-1,9223372036854775807,9223372036854775808,18446744073709551615,-9223372036854775808]})",
         "{n:[7:0,0,-1,9223372036854775807,9223372036854775808,18446744073709551615,"
         "-9223372036854775808,3],}"},
        {"a name twice", R"({"a":1,"b":2,"a":3})", "{a:1,b:2,a:3,}"},
        {"a name twice in a row", R"({"a":1,"a":[2]})", "{a:1,stuck}"},
        {"deep", R"({"a":{"b":{"c":{"d":[[[{"e":0}]]]}}}})",
         "{a:{b:{c:{d:[1:[1:[1:{e:0,},6],5],5],},},},}"},
        {"out of order", R"({"a":7,"b":{"s":1,"t":"x"},"c":[10,11,12]})",
         "-z a c5 a77 -y still7 bs:x bs:x e12 e10 e11 -e e11 n3", Questions},
        {"in order, some only looked at", R"({"a":1,"b":2,"c":[3],"d":4,"e":5})",
         " a b a e -z b c c5 d current 1 rest {d:4,e:5,}", InOrderQuestions},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Padded text(c.text);
        TapeReader tape(text.view());
        ASSERT_TRUE(tape.parsed());
        ASSERT_TRUE(tape.rootIsObject());
        StreamReader stream(text.view());
        const std::string fromTape = c.ask(tape);
        EXPECT_EQ(fromTape, c.expected);
        EXPECT_EQ(c.ask(stream), fromTape);
    }
}

// The tape reader's cursor reads members in order as seeking each by name would: the reader
// after the reads are kept answers as one that sought them (the stream reader, here). When the
// cursor stops, at a name that is not next or not there, the reader is as it was.
TEST(DocumentReaders, TheCursorReadsAsSeekingDoes) {
    struct Case {
        const char* what;
        std::string_view text;
        std::function<void(DocumentReader&)> before;
        std::vector<std::string_view> names;
        std::size_t read;  // names the cursor reads before it stops
    };
    const auto nothing = [](DocumentReader&) {};
    const std::string_view abcd = R"({"a":1,"b":"x","c":{"d":[2]},"d":3})";
    const Case cases[] = {
        {"in order from the first", abcd, nothing, {"a", "b", "c"}, 3},
        {"every member", abcd, nothing, {"a", "b", "c", "d"}, 4},
        {"after a search", abcd, [](DocumentReader& r) { r.has("d"); }, {"a", "b", "c"}, 3},
        {"after the first was read",
         abcd,
         [](DocumentReader& r) { r.seekMember("a", true); },
         {"b", "c"},
         2},
        {"the one read last again",
         abcd,
         [](DocumentReader& r) { r.seekMember("b", true); },
         {"b", "c"},
         2},
        {"after one was only looked at",
         abcd,
         [](DocumentReader& r) { r.seekMember("c", false); },
         {"a", "b"},
         2},
        {"from the middle", abcd, nothing, {"b", "c", "d"}, 3},
        {"a name that is not next", abcd, nothing, {"a", "c"}, 1},
        {"an absent first name", abcd, nothing, {"z", "a"}, 0},
        {"past the last", abcd, nothing, {"c", "d", "e"}, 2},
        {"a name twice", R"({"a":1,"b":2,"a":3})", nothing, {"a", "b", "a"}, 3},
        {"a name twice, the second first",
         R"({"a":1,"b":2,"a":3})",
         [](DocumentReader& r) { r.seekMember("b", true); },
         {"a"},
         1},
        {"an empty object", "{}", nothing, {"a"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Padded text(c.text);
        TapeReader tape(text.view());
        StreamReader stream(text.view());
        c.before(tape);
        c.before(stream);
        TapeReader::Cursor cursor = tape.readInOrder(c.names[0]);
        std::size_t read = cursor.kind() == ValueKind::Missing ? 0 : 1;
        while (read > 0 && read < c.names.size() &&
               cursor.next(c.names[read]) != ValueKind::Missing)
            ++read;
        EXPECT_EQ(read, c.read);
        if (read == c.names.size()) {
            tape.keep(cursor);
            for (std::string_view name : c.names) stream.seekMember(name, true);
        }
        EXPECT_EQ(Rest(tape), Rest(stream));
    }
}

// Names are compared in pieces that overlap: a difference anywhere, at every length, is seen.
TEST(DocumentReaders, NamesDifferingAnywhere) {
    const std::string base = "abcdefghijklmnopqrstuvwxyz0123";
    for (std::size_t n = 0; n <= base.size(); ++n) {
        SCOPED_TRACE(n);
        const std::string a = base.substr(0, n);
        EXPECT_TRUE(SameName(a, std::string(a)));
        EXPECT_FALSE(SameName(a, a + "!"));
        for (std::size_t i = 0; i < n; ++i) {
            std::string b = a;
            b[i] = static_cast<char>(b[i] ^ 0x20);
            EXPECT_FALSE(SameName(a, b)) << "differing at " << i;
        }
    }
}

// What the tape reader leaves to the stream reader: texts that are no JSON (or that the
// parser of the tape takes apart differently) and numbers that are not whole.
TEST(DocumentReaders, TheTapeReaderLeavesDoubtfulDocuments) {
    for (std::string_view text : {R"({"a":1} x)", R"({"a":)", R"({"a":"\ud800"})",
                                  R"({"a":18446744073709551616})", "", "{\"a\":\"\t\"}"}) {
        SCOPED_TRACE(text);
        const Padded padded(text);
        EXPECT_FALSE(TapeReader(padded.view()).parsed());
    }
    for (std::string_view text : {R"({"a":1.0})", R"({"a":-0.0})", R"({"a":1e2})"}) {
        SCOPED_TRACE(text);
        const Padded padded(text);
        TapeReader tape(padded.view());
        ASSERT_TRUE(tape.seekMember("a", true));
        EXPECT_EQ(tape.kind(), ValueKind::Number);
        EXPECT_THROW(tape.number(), ReadAgain);
    }
    const Padded array("[1]");
    TapeReader tape(array.view());
    EXPECT_TRUE(tape.parsed());
    EXPECT_FALSE(tape.rootIsObject());
}

}  // namespace

// The writer's lines start with a comma where one is due and two spaces a level, at every depth,
// then the member's name: short lines and names are written as a block cut back, long ones
// written out; numbers alike.
TEST(DocumentWriterLines, IndentEveryLevel) {
    const std::string longName(33, 'k');
    for (const std::size_t depth : {1, 2, 14, 15, 16, 40, 170}) {
        SCOPED_TRACE(depth);
        DocumentWriter writer;
        for (std::size_t level = 1; level < depth; ++level) writer.openObject("o");
        writer.number("a", 1);
        writer.null("b");
        writer.number(longName, std::numeric_limits<std::int64_t>::min());
        writer.openArray(std::string(32, 'q'));
        writer.number("", std::numeric_limits<std::int64_t>::max());
        for (std::size_t level = 0; level <= depth; ++level) writer.close();
        const std::string text = writer.take();
        std::string expected = "{";
        for (std::size_t level = 1; level <= depth; ++level) {
            const std::string indent = "\n" + std::string(2 * level, ' ');
            if (level < depth) {
                expected += indent + "\"o\": {";
                continue;
            }
            expected += indent + "\"a\": 1," + indent + "\"b\": null," + indent + '"' + longName +
                        "\": -9223372036854775808," + indent + '"' + std::string(32, 'q') +
                        "\": [" + indent + "  9223372036854775807" + indent + "]";
        }
        for (std::size_t level = depth; level > 0; --level)
            expected += "\n" + std::string(2 * (level - 1), ' ') + "}";
        EXPECT_EQ(text, expected + "\n");
    }
}

// Values longer than the writer keeps at hand, and members added to an object reopened after
// the text moved on, land where they belong: hex and texts of every size around the writer's
// buffer, after fillers that leave its buffer at different places.
TEST(DocumentWriterLines, LongValuesAndReopenedObjects) {
    struct Case {
        std::size_t fillers;
        std::size_t bytes;
    };
    const Case cases[] = {{0, 0},        {0, 1},        {1, 16383},   {1, 16384},   {1, 16385},
                          {2000, 16384}, {3000, 32769}, {5000, 1000}, {3, 300000}, {9000, 70000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fillers) + " fillers, " + std::to_string(c.bytes) + " bytes");
        std::vector<std::uint8_t> bytes(c.bytes);
        std::string hex, letters;
        for (std::size_t i = 0; i < c.bytes; ++i) {
            bytes[i] = static_cast<std::uint8_t>('a' + i % 26);
            hex += "0123456789abcdef"[bytes[i] >> 4];
            hex += "0123456789abcdef"[bytes[i] & 15];
            letters += static_cast<char>(bytes[i]);
        }
        DocumentWriter writer;
        writer.openObject("kept");
        writer.number("a", 1);
        const ObjectEnd end = writer.closeKept();
        std::string fillers;
        for (std::size_t i = 0; i < c.fillers; ++i) {
            writer.number("n", static_cast<std::int64_t>(i));
            fillers += ",\n  \"n\": " + std::to_string(i);
        }
        writer.hex("h", bytes);
        writer.text("t", bytes);
        writer.reopen(end);
        writer.hex("added", bytes);
        writer.number("b", 2);
        EXPECT_EQ(writer.endReopen().members, 3u);
        writer.close();
        EXPECT_EQ(writer.take(), "{\n  \"kept\": {\n    \"a\": 1,\n    \"added\": \"" + hex +
                                     "\",\n    \"b\": 2\n  }" + fillers + ",\n  \"h\": \"" + hex +
                                     "\",\n  \"t\": \"" + letters + "\"\n}\n");
    }
}

// A name made once into a block gives the line a name given as text gives, at every length
// around the block's room (the longest written as text), first in its object or after others,
// in objects and in arrays, at depths whose lines fit a block and deeper.
TEST(DocumentWriterLines, QuotedNamesAsText) {
    for (const std::size_t length : {1u, 7u, 8u, 15u, 16u, 17u, 35u, 36u, 37u, 60u})
        for (const std::size_t depth : {1u, 14u, 15u, 40u})
            for (const bool array : {false, true}) {
                SCOPED_TRACE(std::to_string(length) + " characters at depth " +
                             std::to_string(depth) + (array ? " in an array" : ""));
                const std::string name(length, 'n');
                const QuotedName quoted(name);
                const std::uint8_t bytes[] = {0x0f, 0xa0};
                auto write = [&](DocumentWriter& writer, auto key) {
                    for (std::size_t level = 1; level < depth; ++level) writer.openObject("o");
                    if (array) writer.openArray("a");
                    writer.number(key, -5);
                    writer.hex(key, bytes);
                    writer.number(key, 70000);
                    if (array) writer.close();
                    for (std::size_t level = 0; level < depth; ++level) writer.close();
                    return writer.take();
                };
                DocumentWriter asText, asBlock;
                EXPECT_EQ(write(asBlock, quoted), write(asText, std::string_view(name)));
            }
}

// A member is found where a search from the member read last (to the end, then from the start)
// finds it, duplicate names included, whatever shortcut the search takes.
TEST(FindMemberOrder, AsTheSearchFromTheMemberReadLast) {
    const std::vector<std::string_view> names = {"a", "bytes7", "bytes7", "c", "a", "width"};
    auto plain = [&](std::size_t from, std::string_view name) {
        for (std::size_t step = 0; step < names.size(); ++step) {
            const std::size_t k = ((from < names.size() ? from : 0) + step) % names.size();
            if (names[k] == name) return k;
        }
        return names.size();
    };
    for (std::size_t from = 0; from <= names.size() + 1; ++from)
        for (const std::string_view name : {"a", "bytes7", "c", "width", "none", "bytes8"}) {
            SCOPED_TRACE(std::string(name) + " from " + std::to_string(from));
            EXPECT_EQ(FindMember(names.size(), from, name, [&](std::size_t k) { return names[k]; }),
                      plain(from, name));
        }
}
