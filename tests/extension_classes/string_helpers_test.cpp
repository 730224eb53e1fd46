#include "extension_classes/string_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(StringEx, ConstructionAndNumbers) {
    EXPECT_STREQ(CStringEx('x', 3), "xxx");
    EXPECT_STREQ(CStringEx('x', -3), "");
    EXPECT_STREQ(CStringEx("abcdef", 3), "abc");
    EXPECT_STREQ(CStringEx("ab", 10), "ab");
    EXPECT_STREQ(CStringEx(static_cast<const char*>(nullptr)), "");
    EXPECT_STREQ(CStringEx(L"K\u00e4se"), "K\xc3\xa4se");
    EXPECT_STREQ(CStringEx(L"abc", 2), "ab");

    EXPECT_EQ(CStringEx("  42abc").GetInt(), 42);
    EXPECT_EQ(CStringEx("-17").GetInt(), -17);
    EXPECT_EQ(CStringEx("abc").GetInt(), 0);
    EXPECT_EQ(CStringEx("99999999999999").GetInt(), 2147483647);
    EXPECT_DOUBLE_EQ(CStringEx("2.5e1x").GetDouble(), 25.0);
    EXPECT_DOUBLE_EQ(CStringEx("x").GetDouble(), 0.0);

    int a = 0;
    int b = 0;
    char word[8] = {};
    EXPECT_EQ(CStringEx("20.1 name").Scan("%d.%d %7s", &a, &b, word), 3);
    EXPECT_EQ(a, 20);
    EXPECT_EQ(b, 1);
    EXPECT_STREQ(word, "name");
    EXPECT_EQ(CStringEx("").Scan("%d", &a), 0);
}

TEST(StringEx, WritesNumbersIntoItsBuffer) {
    CStringEx s;
    s.GetBuffer(33);
    s.SetBin(0xA5);
    EXPECT_STREQ(s, "10100101");
    s.SetBin(0xFFFFFFFFu);
    EXPECT_EQ(s.GetLength(), 32);
    s.SetHex(0xBEEF);
    EXPECT_STREQ(s, "beef");
    s.SetOct(8);
    EXPECT_STREQ(s, "10");
    s.SetInt(-2147483647 - 1);
    EXPECT_STREQ(s, "-2147483648");
    s.SetInt(0);
    EXPECT_STREQ(s, "0");
}

TEST(StringEx, CountsWholeCharacters) {
    EXPECT_EQ(CStringEx("").CountOccurences('\\'), 0);
    EXPECT_EQ(CStringEx("a\\b\\c").CountOccurences('\\'), 2);
    // "\xe2\x82\xac" (a three-byte character) and a broken sequence: only whole characters
    // count, and the euro sign counts as one character by its code point.
    const CStringEx text("\\\xe2\x82\xac\\\xe2\x82\\\xe2\x82\xac");
    EXPECT_EQ(text.CountOccurences('\\'), 3);
    EXPECT_EQ(text.CountOccurences(0x20AC), 2);
    // The broken sequence's bytes are characters of their own.
    EXPECT_EQ(text.CountOccurences(0xE2), 1);
    EXPECT_EQ(text.CountOccurences(0x82), 1);
}

TEST(ParseStrPart, TokensSkipRunsOfDelimiters) {
    CStringEx text(",,A,,B");
    CParseStrPart parser;
    parser.Attach(&text);
    CStringEx token;
    ASSERT_TRUE(parser.GetFirst(",", token));
    EXPECT_STREQ(token, "A");
    ASSERT_TRUE(parser.GetNext(",", token));
    EXPECT_STREQ(token, "B");
    EXPECT_FALSE(parser.GetNext(",", token));
    EXPECT_FALSE(parser.GetNext(",", token));
    EXPECT_STREQ(text, ",,A,,B");  // the attached string is not cut up

    CStringEx onlyDelimiters(",;,");
    parser.Attach(&onlyDelimiters);
    EXPECT_FALSE(parser.GetFirst(",;", token));
    CStringEx empty;
    parser.Attach(&empty);
    EXPECT_FALSE(parser.GetFirst(",", token));
    CParseStrPart unattached;
    EXPECT_FALSE(unattached.GetFirst(",", token));
}

TEST(ParseStrPart, OneSequencePerProcessAndWholeCharacters) {
    CStringEx first("a b c");
    CStringEx second("x\xc3\xa4y z");
    CParseStrPart p1;
    CParseStrPart p2;
    p1.Attach(&first);
    p2.Attach(&second);
    CStringEx token;
    ASSERT_TRUE(p1.GetFirst(" ", token));
    EXPECT_STREQ(token, "a");
    ASSERT_TRUE(p2.GetFirst(" ", token));
    EXPECT_STREQ(token, "x\xc3\xa4y");
    ASSERT_TRUE(p1.GetNext(" ", token));  // continues the latest sequence: the second text
    EXPECT_STREQ(token, "z");
    // A delimiter set naming a two-byte character splits only on the whole character.
    ASSERT_TRUE(p2.GetFirst("\xc3\xa4", token));
    EXPECT_STREQ(token, "x");
    ASSERT_TRUE(p2.GetNext("\xc3\xa4", token));
    EXPECT_STREQ(token, "y z");
    CStringEx other(
        "a\xc3\xb6"
        "b");
    p1.Attach(&other);
    ASSERT_TRUE(p1.GetFirst("\xc3\xa4", token));
    EXPECT_STREQ(token,
                 "a\xc3\xb6"
                 "b");
    // Tokens keep at most 255 bytes.
    CStringEx longText(std::string(300, 'q') + ",end");
    p1.Attach(&longText);
    ASSERT_TRUE(p1.GetFirst(",", token));
    EXPECT_EQ(token.GetLength(), 255);
    ASSERT_TRUE(p1.GetNext(",", token));
    EXPECT_STREQ(token, "end");
}

TEST(PathStrPart, Components) {
    struct Case {
        const char* path;
        const char* drive;
        const char* directory;
        const char* name;
        const char* title;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\Tools\\K32PLC1.DLL", "C:", "\\Tools\\", "K32PLC1.DLL", "K32PLC1", ".DLL"},
        {"/opt/kestra/bin/K32PLC1.so", "", "/opt/kestra/bin/", "K32PLC1.so", "K32PLC1", ".so"},
        {"README", "", "", "README", "README", ""},
        {"dir.d/name", "", "dir.d/", "name", "name", ""},
        {"a/b.tar.gz", "", "a/", "b.tar.gz", "b.tar", ".gz"},
        {"C:name.txt", "C:", "", "name.txt", "name", ".txt"},
        {"folder/", "", "folder/", "", "", ""},
        {"", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        CStringEx path(c.path);
        CPathStrPart parts;
        parts.Attach(&path);
        EXPECT_STREQ(parts.GetDrive(), c.drive) << c.path;
        EXPECT_STREQ(parts.GetDirectory(), c.directory) << c.path;
        EXPECT_EQ(std::string(parts.GetPath()), std::string(c.drive) + c.directory) << c.path;
        EXPECT_STREQ(parts.GetName(), c.name) << c.path;
        EXPECT_STREQ(parts.GetTitle(), c.title) << c.path;
        EXPECT_STREQ(parts.GetExt(), c.ext) << c.path;
        EXPECT_STREQ(path, c.path);
    }
    CPathStrPart unattached;
    EXPECT_STREQ(unattached.GetName(), "");
}

}  // namespace
