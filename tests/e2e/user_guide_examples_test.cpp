// The user guide runs every bundled example and quotes its outputs. This test
// reads the guide, runs each example with the command the guide gives (in a
// copy of its folder), and checks that the files the guide lists are written
// and that the quoted excerpts are what the run produced.
//
// The guide marks what is checked with HTML comments just before a fenced block:
//   <!-- run: examples/X -->             the block holds "cd examples/X" and the
//                                        vastrid2 command line
//   <!-- writes: examples/X -->          one file per line, relative to the folder
//   <!-- output: examples/X FILE -->     an excerpt of FILE ("console": the console)
// Excerpt lines are compared with blanks and tabs collapsed to one blank and the
// ends trimmed. A line "..." stands for any number of lines; a line ending in
// "..." only gives the start of its line.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/external_tools.h"
#include "support/test_support.h"

namespace {

using test_support::RunResult;
using test_support::ScratchDir;

constexpr const char* kSuccessLine = "ALL SIMULATIONS AND PROGRAMS SUCCESSFULLY TERMINATED!";
const std::vector<const char*> kBundledExamples = {"examples/small", "examples/two_layers",
                                                   "examples/europe_lgm", "examples/europe_15min"};

struct MarkedBlock {
    std::string kind;     // run, writes or output
    std::string example;  // examples/X
    std::string file;     // output blocks only
    std::vector<std::string> lines;
    int guideLine = 0;  // the marker's line in the guide, for the messages
};

std::string normalised(const std::string& line) {
    std::string out;
    bool blank = false;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// Every marked block of the guide, in its order.
std::vector<MarkedBlock> markedBlocks(const std::string& guide) {
    const std::vector<std::string> lines = test_support::splitLines(guide);
    std::vector<MarkedBlock> blocks;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("<!-- ", 0) != 0 || line.find(" -->") == std::string::npos) continue;
        const std::vector<std::string> marker = words(line.substr(5, line.find(" -->") - 5));
        if (marker.size() < 2) continue;
        MarkedBlock block;
        block.kind = marker[0].substr(0, marker[0].size() - 1);  // without its ':'
        if (block.kind != "run" && block.kind != "writes" && block.kind != "output") continue;
        block.example = marker[1];
        if (marker.size() > 2) block.file = marker[2];
        block.guideLine = static_cast<int>(i) + 1;
        size_t at = i + 1;
        if (at >= lines.size() || lines[at].rfind("```", 0) != 0) {
            ADD_FAILURE() << "guide line " << block.guideLine
                          << ": no fenced block after the marker";
            continue;
        }
        for (++at; at < lines.size() && lines[at].rfind("```", 0) != 0; ++at) {
            block.lines.push_back(lines[at]);
        }
        blocks.push_back(block);
        i = at;
    }
    return blocks;
}

bool lineMatches(const std::string& quoted, const std::string& actual) {
    const std::string want = normalised(quoted);
    const std::string have = normalised(actual);
    const std::string ellipsis = "...";
    if (want.size() > ellipsis.size() &&
        want.compare(want.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0) {
        const std::string start = normalised(want.substr(0, want.size() - ellipsis.size()));
        return have.compare(0, start.size(), start) == 0;
    }
    return want == have;
}

// Empty when the excerpt is found in text; otherwise the first part not found.
std::string missingPartOf(const std::vector<std::string>& excerpt, const std::string& text) {
    const std::vector<std::string> actual = test_support::splitLines(text);
    std::vector<std::vector<std::string>> parts(1);
    for (const std::string& line : excerpt) {
        if (normalised(line) == "...") {
            parts.emplace_back();
        } else {
            parts.back().push_back(line);
        }
    }
    size_t from = 0;
    for (const std::vector<std::string>& part : parts) {
        if (part.empty()) continue;
        bool found = false;
        for (size_t start = from; start + part.size() <= actual.size() && !found; ++start) {
            size_t k = 0;
            while (k < part.size() && lineMatches(part[k], actual[start + k])) ++k;
            if (k == part.size()) {
                found = true;
                from = start + part.size();
            }
        }
        if (!found) {
            std::string shown;
            for (const std::string& line : part) shown += line + "\n";
            return shown;
        }
    }
    return "";
}

std::vector<MarkedBlock> blocksOf(const std::vector<MarkedBlock>& all, const std::string& example,
                                  const std::string& kind) {
    std::vector<MarkedBlock> result;
    for (const MarkedBlock& block : all) {
        if (block.example == example && block.kind == kind) result.push_back(block);
    }
    return result;
}

// The arguments of the vastrid2 command of a run block, after checking that it
// is run from the example's own folder.
std::vector<std::string> commandArguments(const MarkedBlock& run) {
    bool changedFolder = false;
    for (const std::string& line : run.lines) {
        const std::vector<std::string> command = words(line);
        if (command.size() == 2 && command[0] == "cd") {
            EXPECT_EQ(command[1], run.example) << "guide line " << run.guideLine;
            changedFolder = true;
        }
        if (!command.empty() && command[0].size() >= 8 &&
            command[0].compare(command[0].size() - 8, 8, "vastrid2") == 0) {
            EXPECT_TRUE(changedFolder) << "guide line " << run.guideLine
                                       << ": the command is not run from the example's folder";
            return std::vector<std::string>(command.begin() + 1, command.end());
        }
    }
    ADD_FAILURE() << "guide line " << run.guideLine << ": no vastrid2 command";
    return {};
}

class UserGuideExampleTest : public ::testing::TestWithParam<const char*> {};

TEST_P(UserGuideExampleTest, RunsAsTheGuideSaysAndWritesWhatItQuotes) {
    const std::string example = GetParam();
    // The two large examples take a minute or more under the sanitizers, and the
    // excerpts do not depend on them (the glacial example has its own sanitized run).
    if (e2e_tools::kSanitizedBuild &&
        (example == "examples/europe_15min" || example == "examples/europe_lgm")) {
        GTEST_SKIP() << "the large examples run only in the release pass";
    }
    const std::vector<MarkedBlock> all =
        markedBlocks(test_support::readFile(e2e_tools::sourcePath("docs/user-guide.md")));
    const std::vector<MarkedBlock> runs = blocksOf(all, example, "run");
    ASSERT_EQ(runs.size(), 1u) << "the guide must give one command for " << example;
    const std::vector<MarkedBlock> writes = blocksOf(all, example, "writes");
    ASSERT_FALSE(writes.empty()) << "the guide must list the files " << example << " writes";

    ScratchDir dir;
    e2e_tools::copyFolder(e2e_tools::sourcePath(example), dir);
    const RunResult run = test_support::runProgram(dir.path(), commandArguments(runs[0]));
    ASSERT_EQ(run.exitStatus, 0) << run.console;
    EXPECT_TRUE(e2e_tools::contains(run.console, kSuccessLine)) << run.console;

    for (const MarkedBlock& block : writes) {
        for (const std::string& line : block.lines) {
            const std::string name = normalised(line);
            if (name.empty()) continue;
            EXPECT_TRUE(dir.exists(name))
                << "guide line " << block.guideLine << ": " << example << " wrote no " << name;
        }
    }
    for (const MarkedBlock& block : blocksOf(all, example, "output")) {
        ASSERT_FALSE(block.file.empty()) << "guide line " << block.guideLine;
        const bool console = block.file == "console";
        if (!console) {
            ASSERT_TRUE(dir.exists(block.file)) << block.file;
        }
        const std::string text = console ? run.console : dir.read(block.file);
        EXPECT_EQ(missingPartOf(block.lines, text), "")
            << "guide line " << block.guideLine << ": this part of the excerpt of " << example
            << " " << block.file << " is not in the output";
    }
}

INSTANTIATE_TEST_SUITE_P(BundledExamples, UserGuideExampleTest,
                         ::testing::ValuesIn(kBundledExamples),
                         [](const ::testing::TestParamInfo<const char*>& example) {
                             return std::string(example.param).substr(9);  // after "examples/"
                         });

// A marker naming a folder that no test runs would leave its excerpt unchecked.
TEST(UserGuideExcerptTest, EveryMarkedBlockBelongsToABundledExample) {
    const std::string guide = test_support::readFile(e2e_tools::sourcePath("docs/user-guide.md"));
    const std::vector<MarkedBlock> all = markedBlocks(guide);
    size_t markers = 0;
    for (size_t at = guide.find("<!-- "); at != std::string::npos;
         at = guide.find("<!-- ", at + 1)) {
        ++markers;
    }
    EXPECT_EQ(all.size(), markers) << "a marker of the guide is not one of run, writes or output";
    for (const MarkedBlock& block : all) {
        bool known = false;
        for (const char* example : kBundledExamples) known = known || block.example == example;
        EXPECT_TRUE(known) << "guide line " << block.guideLine << ": " << block.example;
    }
}

// The excerpt matcher: what the guide's excerpts may and may not leave out.
TEST(UserGuideExcerptTest, ElidedLinesAndLineStartsMatchOnlyInOrder) {
    const std::string text = "title\n\tA\t1\nB 2\nlong line here\nC 3\n";
    struct Case {
        std::vector<std::string> excerpt;
        bool found;
    };
    const std::vector<Case> cases = {
        {{"title", "A 1", "B 2"}, true},
        {{"title", "...", "C 3"}, true},
        {{"B 2", "long line...", "C 3"}, true},
        {{"title", "B 2"}, false},       // a skipped line needs "..."
        {{"C 3", "...", "A 1"}, false},  // parts keep their order
        {{"long line there"}, false},
        {{"long li"}, false},  // a partial line needs its "..."
    };
    for (const Case& c : cases) {
        EXPECT_EQ(missingPartOf(c.excerpt, text).empty(), c.found) << c.excerpt.front();
    }
}

}  // namespace
