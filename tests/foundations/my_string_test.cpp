#include "foundations/my_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

my_string repeated(char c, int n) {
    my_string s;
    for (int i = 0; i < n; ++i) s += c;
    return s;
}

// ---------------------------------------------------------------------------
// Queries

TEST(MyStringQueries, ToIntTakesLeadingNumberAndTellsZeroFromNoNumber) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"abc", -1}, {"0", 0},    {"x0", 0},    {"12ab", 12},
        {"", -1},    {" -7", -7}, {"100", 100}, {"4294967297", 1},  // low 32 bits
        {"-0", 0},   {"+x", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(my_string(c.text).toInt(), c.expected);
    }
}

TEST(MyStringQueries, ToDoubleTakesLeadingNumberOrZero) {
    EXPECT_DOUBLE_EQ(my_string("2.5e1x").toDouble(), 25.0);
    EXPECT_DOUBLE_EQ(my_string(" -0.125").toDouble(), -0.125);
    EXPECT_DOUBLE_EQ(my_string("abc").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(my_string("").toDouble(), 0.0);
}

TEST(MyStringQueries, RfindGivesFirstOccurrence) {
    const struct {
        const char* text;
        const char* needle;
        int expected;
    } cases[] = {
        {"abab", "ab", 0}, {"abab", "ba", 1}, {"abab", "", -1},
        {"ab", "abc", -1}, {"abab", "x", -1}, {"xxab", "ab", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.needle);
        EXPECT_EQ(my_string(c.text).rfind(my_string(c.needle)), c.expected);
    }
}

TEST(MyStringQueries, ContainsNeedsNonEmptyContiguousNeedle) {
    const my_string text("grid1.asc");
    EXPECT_TRUE(text.contains(".asc"));
    EXPECT_TRUE(text.contains("grid1.asc"));
    EXPECT_FALSE(text.contains(""));
    EXPECT_FALSE(text.contains("grid1.ascx"));
    EXPECT_FALSE(text.contains("g1"));
}

TEST(MyStringQueries, ExtractBeforeAndAfterFirstDelimiter) {
    const struct {
        const char* text;
        const char* before;
        const char* after;
    } cases[] = {
        {"key=value", "key", "value"}, {"novalue", "novalue", "novalue"},
        {"key=", "key", ""},           {"=value", "", "value"},
        {"a=b=c", "a", "b=c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const my_string text(c.text);
        EXPECT_STREQ(text.extract_before('=').c_str(), c.before);
        EXPECT_STREQ(text.extract_after('=').c_str(), c.after);
        EXPECT_STREQ(text.c_str(), c.text);  // the source is untouched
    }
}

// ---------------------------------------------------------------------------
// In-place edits

TEST(MyStringEdits, RemoveFollowsItsPositionRules) {
    const struct {
        const char* text;
        int start;
        int count;
        const char* expected;
    } cases[] = {
        {"grid1.asc", 5, 4, "grid1"},  // reaching the end cuts at start
        {"abcdef", 3, 100, "abc"},     // past the end also cuts
        {"abcdef", 2, INT_MAX, "ab"},  // no overflow in start + count
        {"abcdef", 1, 2, "adef"},      // inside: the tail moves up
        {"abcdef", 0, 3, "abcdef"},    // position 0 cannot be removed from
        {"abcdef", -1, 3, "abcdef"},  {"abcdef", 2, 0, "abcdef"}, {"abcdef", 2, -4, "abcdef"},
        {"abc", 10, 2, "abc"},  // start past the end: nothing to remove
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " " + std::to_string(c.start) + " " +
                     std::to_string(c.count));
        my_string s(c.text);
        s.remove(c.start, c.count);
        EXPECT_STREQ(s.c_str(), c.expected);
        EXPECT_EQ(s.length(), static_cast<int>(std::string(c.expected).size()));
    }
}

TEST(MyStringEdits, BlanksAreOnlySpacesAndTabs) {
    const struct {
        const char* text;
        const char* trimmed;
        const char* removed;
    } cases[] = {
        {" \t a b\t ", "a b", "ab"},      {" \t  ", "", ""}, {"", "", ""},
        {"\na b\r", "\na b\r", "\nab\r"}, {"x", "x", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        my_string trimmed(c.text);
        trimmed.trim_blanks();
        EXPECT_STREQ(trimmed.c_str(), c.trimmed);
        EXPECT_EQ(trimmed.length(), static_cast<int>(std::string(c.trimmed).size()));
        my_string removed(c.text);
        removed.remove_blanks();
        EXPECT_STREQ(removed.c_str(), c.removed);
        EXPECT_EQ(removed.length(), static_cast<int>(std::string(c.removed).size()));
    }
}

TEST(MyStringEdits, UpperChangesOnlyAsciiLetters) {
    my_string s("ab-Yz_09\xe9~");
    s.Upper();
    EXPECT_STREQ(s.c_str(), "AB-YZ_09\xe9~");
    my_string t("mixed Case");
    t.to_upper();
    EXPECT_STREQ(t.c_str(), "MIXED CASE");
}

TEST(MyStringEdits, PathSplitsAtLastSlashOrBackslash) {
    const struct {
        const char* text;
        const char* path;
        const char* name;
    } cases[] = {
        {"maps/veg.asc", "maps/", "veg.asc"}, {"a\\b/c.txt", "a\\b/", "c.txt"},
        {"a/b\\c.txt", "a/b\\", "c.txt"},     {"dir/", "dir/", ""},
        {"plain.txt", "", "plain.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        my_string path(c.text);
        path.extract_path();
        EXPECT_STREQ(path.c_str(), c.path);
        my_string name(c.text);
        name.rm_path();
        EXPECT_STREQ(name.c_str(), c.name);
        EXPECT_EQ(path.length() + name.length(), static_cast<int>(std::string(c.text).size()));
    }
}

// ---------------------------------------------------------------------------
// Stream readers

struct LineRead {
    std::string text;
    bool ended;
};

TEST(MyStringReaders, ReadLineSkipsLeadingBlanksAndKeepsLaterCarriageReturns) {
    const struct {
        std::string input;
        std::vector<LineRead> lines;
    } cases[] = {
        {"  abc\r\n", {{"abc\r", true}}},
        {"abc", {{"abc", false}}},
        {"", {{"", false}}},
        {"\nx\n", {{"", true}, {"x", true}}},
        {" \t\r\n\r\n", {{"", true}, {"", true}}},
        {"\t a\tb \r c \nnext", {{"a\tb \r c ", true}, {"next", false}}},
        {std::string("ab\0cd\n", 6), {{"ab", true}, {"cd", true}}},  // NUL ends the line
        {"ab\xff"
         "cd\n",
         {{"ab", true}, {"cd", true}}},  // so does 0xFF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::istringstream in(c.input);
        my_string s("previous content");
        for (const LineRead& expected : c.lines) {
            EXPECT_EQ(s.read_line(in), expected.ended);
            EXPECT_EQ(std::string(s.c_str()), expected.text);
            EXPECT_EQ(s.length(), static_cast<int>(expected.text.size()));
        }
    }
}

TEST(MyStringReaders, ReadLineAtEndOfInputFailsAndKeepsWhatWasRead) {
    std::istringstream in("last");
    my_string s;
    EXPECT_FALSE(s.read_line(in));
    EXPECT_STREQ(s.c_str(), "last");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(s.read_line(in));  // nothing left: empty, and the stream has failed
    EXPECT_TRUE(s.empty());
    EXPECT_TRUE(in.fail());
}

TEST(MyStringReaders, ReadToDelimStopsAtFirstDelimiterWithoutSkipping) {
    const struct {
        std::string input;
        std::string word;
        std::string rest;
    } cases[] = {
        {"name 3 4", "name", "3 4"},
        {"a\tb", "a", "b"},
        {"a\nb", "a", "b"},
        {" lead", "", "lead"},  // a blank at the position gives the empty text
        {std::string("x\0y", 3), "x", "y"},
        {"x\xffy", "x", "y"},
        {"cr\r ", "cr\r", ""},
        {"end", "end", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::istringstream in(c.input);
        my_string s("previous");
        s.read_to_delim(in);
        EXPECT_EQ(std::string(s.c_str()), c.word);
        std::string rest;
        std::getline(in, rest, '\0');
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(MyStringReaders, ReadToDelimOnFailedStreamReadsNothing) {
    std::istringstream in("word rest");
    in.setstate(std::ios::failbit);
    my_string s("previous");
    s.read_to_delim(in);
    EXPECT_TRUE(s.empty());
    in.clear();
    std::string next;
    in >> next;
    EXPECT_EQ(next, "word");
}

TEST(MyStringReaders, WordReaderLeavesNewlineForTheNextReader) {
    std::istringstream in("ncols 10\nnrows 5\n");
    my_string s;
    in >> s;
    EXPECT_STREQ(s.c_str(), "ncols");
    in >> s;
    EXPECT_STREQ(s.c_str(), "10");
    EXPECT_EQ(in.peek(), '\n');
    in >> s;
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(in.peek(), '\n');
    EXPECT_TRUE(in.good());
    EXPECT_TRUE(s.read_line(in));  // consumes the newline left behind
    EXPECT_TRUE(s.empty());
    in >> s;
    EXPECT_STREQ(s.c_str(), "nrows");
}

TEST(MyStringReaders, WordReaderDelimiters) {
    const struct {
        std::string input;
        std::vector<std::string> words;
        std::string rest;
    } cases[] = {
        {"a\tb c", {"a\tb", "c"}, ""},           // tabs inside a word belong to it
        {" \t word\r\nx", {"word", ""}, "\nx"},  // the CR ending a word is consumed
        {"  \rnext", {"", "next"}, ""},          // a CR before the word gives the empty text
        {"\xffnext", {"", "next"}, ""},
        {"one two", {"one", "two"}, ""},
        {"last", {"last"}, ""},  // end of input ends the word
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::istringstream in(c.input);
        my_string s;
        for (const std::string& word : c.words) {
            in >> s;
            EXPECT_EQ(std::string(s.c_str()), word);
        }
        in.clear();
        std::string rest;
        std::getline(in, rest, '\0');
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(MyStringReaders, WordReaderAtEndOfInputEndsWithoutFailingThenFails) {
    std::istringstream in("  last");
    my_string s;
    ASSERT_TRUE(static_cast<bool>(in >> s));  // a word ended by the end of input is a success
    EXPECT_STREQ(s.c_str(), "last");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(static_cast<bool>(in >> s));
    EXPECT_TRUE(s.empty());

    std::istringstream blanks("   ");
    blanks >> s;
    EXPECT_TRUE(s.empty());
    EXPECT_TRUE(blanks.fail());
}

TEST(MyStringReaders, OverLongInputKeepsFirst10000CharactersAndConsumesTheRest) {
    const std::string longLine(12000, 'a');
    std::istringstream in(longLine + "\nnext\n" + longLine + " word");
    my_string s;
    EXPECT_TRUE(s.read_line(in));
    EXPECT_EQ(s.length(), my_string::kMaxLength);
    EXPECT_EQ(std::string(s.c_str()), longLine.substr(0, my_string::kMaxLength));
    EXPECT_TRUE(s.read_line(in));
    EXPECT_STREQ(s.c_str(), "next");
    in >> s;
    EXPECT_EQ(s.length(), my_string::kMaxLength);
    in >> s;
    EXPECT_STREQ(s.c_str(), "word");
}

// ---------------------------------------------------------------------------
// Length limit, construction, assignment, concatenation

TEST(MyStringLimit, OperationsPastTheLimitAreRefusedSilently) {
    const my_string full = repeated('a', my_string::kMaxLength);
    ASSERT_EQ(full.length(), my_string::kMaxLength);

    my_string appended = full;
    appended += 'b';
    appended += "b";
    appended += my_string("b");
    EXPECT_EQ(appended, full);

    EXPECT_TRUE((my_string("x") + full).empty());
    EXPECT_TRUE((my_string("x") + full.c_str()).empty());
    EXPECT_EQ((repeated('a', my_string::kMaxLength - 1) + "a"), full);

    const std::string tooLong(my_string::kMaxLength + 1, 'z');
    my_string assigned("kept");
    assigned = tooLong.c_str();
    EXPECT_STREQ(assigned.c_str(), "kept");
    assigned = full.c_str();  // exactly the limit is allowed
    EXPECT_EQ(assigned, full);
}

TEST(MyStringLimit, ConstructionFromCTextOfLimitLengthGivesEmptyText) {
    const std::string atLimit(my_string::kMaxLength, 'a');
    const my_string refused(atLimit.c_str());
    EXPECT_TRUE(refused.empty());
    EXPECT_EQ(refused.capacity(), 10);
    const my_string kept(atLimit.substr(1).c_str());
    EXPECT_EQ(kept.length(), my_string::kMaxLength - 1);
    EXPECT_EQ(kept.capacity(), my_string::kMaxLength + 1);
}

TEST(MyStringAssign, FromIntUsesDecimalForm) {
    const struct {
        int value;
        const char* text;
    } cases[] = {
        {0, "0"}, {123, "123"}, {-45, "-45"}, {INT_MIN, "-2147483648"}, {INT_MAX, "2147483647"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        my_string small("a");  // capacity 3: must be regrown before printing
        small = c.value;
        EXPECT_STREQ(small.c_str(), c.text);
        EXPECT_GE(small.capacity(), 20);
    }
}

TEST(MyStringAssign, SourcesInsideTheOwnBufferAreSafe) {
    my_string s("ab");
    s += s;  // grows while reading itself
    EXPECT_STREQ(s.c_str(), "abab");
    s += s.c_str() + 1;
    EXPECT_STREQ(s.c_str(), "ababbab");
    s = s.c_str() + 2;
    EXPECT_STREQ(s.c_str(), "abbab");
    s = s;
    EXPECT_STREQ(s.c_str(), "abbab");
    EXPECT_EQ(s.length(), 5);
}

TEST(MyStringAssign, CopiesAreIndependentAndMovesLeaveDefaultState) {
    my_string original("value");
    my_string copy(original);
    copy += "!";
    EXPECT_STREQ(original.c_str(), "value");
    EXPECT_STREQ(copy.c_str(), "value!");

    my_string moved(std::move(copy));
    EXPECT_STREQ(moved.c_str(), "value!");
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(copy.capacity(), 10);
    copy += "usable";
    EXPECT_STREQ(copy.c_str(), "usable");

    original = std::move(moved);
    EXPECT_STREQ(original.c_str(), "value!");
    EXPECT_TRUE(moved.empty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.capacity(), 10);
}

TEST(MyStringAssign, AppendingNulLeavesTheText) {
    my_string s("ab");
    s += '\0';
    s += 'c';
    EXPECT_STREQ(s.c_str(), "abc");
    EXPECT_EQ(s.length(), 3);
}

TEST(MyStringAssign, BufferKeepsRoomForTextAndTerminator) {
    my_string s;
    for (int i = 0; i < 500; ++i) {
        s += static_cast<char>('a' + i % 26);
        ASSERT_GE(s.capacity(), s.length() + 2);
    }
    EXPECT_EQ(my_string("abc").capacity(), 5);
    my_string assigned("ab");
    assigned = "abcd";  // length + 1 reaches the capacity: sized exactly
    EXPECT_EQ(assigned.capacity(), 6);
}

// ---------------------------------------------------------------------------
// Comparison and output

TEST(MyStringOrder, ComparesUnsignedBytesWithShorterPrefixFirst) {
    const struct {
        const char* a;
        const char* b;
        bool less;
    } cases[] = {
        {"a", "b", true},  {"b", "a", false},      {"ab", "abc", true},    {"abc", "ab", false},
        {"Z", "a", true},  {"\x7f", "\x80", true}, {"\xff", "a", false},   {"", ".", true},
        {"a", "a", false}, {"", "", false},        {"a\xe9", "az", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " < " + c.b);
        EXPECT_EQ(my_string(c.a) < my_string(c.b), c.less);
    }
}

TEST(MyStringOrder, OrdersMapKeysLikeTheCLibrary) {
    std::map<my_string, my_string> store;
    for (const char* key : {"b", "\xc3key", "B", "ab", "a", "Ab"}) store[key] = key;
    std::vector<std::string> keys;
    for (const auto& entry : store) keys.emplace_back(entry.first.c_str());
    EXPECT_EQ(keys, (std::vector<std::string>{"Ab", "B", "a", "ab", "b", "\xc3key"}));
    EXPECT_EQ(store.count("ab"), 1u);
    EXPECT_EQ(store.count("AB"), 0u);
}

TEST(MyStringOrder, Equality) {
    EXPECT_TRUE(my_string("abc") == my_string("abc"));
    EXPECT_TRUE(my_string("abc") != my_string("abd"));
    EXPECT_TRUE(my_string("ab") != my_string("abc"));
    EXPECT_TRUE(my_string("abc") == "abc");
    EXPECT_FALSE(my_string("abc") == "ab");
}

TEST(MyStringOutput, WritesTextLikeACText) {
    std::ostringstream out;
    out << my_string("ab") << '|' << std::setw(4) << my_string("cd") << '|' << my_string();
    EXPECT_EQ(out.str(), "ab|  cd|");
    EXPECT_TRUE(out.good());
}

TEST(MyStringOutput, MyStrcpyCopiesAndReturnsDestination) {
    char target[8] = "xxxxxxx";
    EXPECT_EQ(my_strcpy(target, "abc"), target);
    EXPECT_STREQ(target, "abc");
}

}  // namespace
