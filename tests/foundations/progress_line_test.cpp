#include "foundations/progress_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A progress line on a string stream, driven by a clock the test moves.
struct FakeTerminal {
    explicit FakeTerminal(bool terminal = true) : line(screen, terminal, [this] { return now; }) {}

    std::ostringstream screen;
    ProgressLine::Clock::time_point now{seconds(1000)};
    ProgressLine line;
};

TEST(ProgressLine, ShowsStepsElapsedAndLeftTime) {
    const struct {
        long long total;
        milliseconds after;
        long long done;
        const char* shown;
    } cases[] = {
        {2000, seconds(3), 120, "\rgeneration 120 of 2000, elapsed 0:03, left ~0:47"},
        {2000, seconds(3725), 1000, "\rgeneration 1000 of 2000, elapsed 1:02:05, left ~1:02:05"},
        // Nothing done yet: no estimate.
        {2000, seconds(2), 0, "\rgeneration 0 of 2000, elapsed 0:02"},
        // Counts beyond the phase are shown as its end.
        {10, milliseconds(1400), 12, "\rgeneration 10 of 10, elapsed 0:01, left ~0:00"},
    };
    for (const auto& c : cases) {
        FakeTerminal terminal;
        terminal.line.start("generation", c.total);
        terminal.now += c.after;
        terminal.line.update(c.done);
        EXPECT_EQ(terminal.screen.str(), c.shown) << c.shown;
    }
}

TEST(ProgressLine, RedrawsAtMostOncePerInterval) {
    FakeTerminal terminal;
    terminal.line.start("genetic simulation", 100);
    std::string drawnSteps;
    for (int done = 1; done <= 20; ++done) {
        terminal.now += milliseconds(100);
        const std::string before = terminal.screen.str();
        terminal.line.update(done);
        if (terminal.screen.str() != before) drawnSteps += std::to_string(done) + " ";
    }
    // The first draw waits one interval after the start, then one per interval.
    EXPECT_EQ(drawnSteps, "3 6 9 12 15 18 ");
}

TEST(ProgressLine, FinishEndsAShownLineWithItsFinalStateAndANewline) {
    FakeTerminal terminal;
    terminal.line.start("genetic simulation", 3);
    terminal.now += seconds(2);
    terminal.line.update(1);
    terminal.now += milliseconds(100);
    terminal.line.update(3);
    terminal.now += seconds(10);
    terminal.line.finish();
    const std::string drawn = "\rgenetic simulation 1 of 3, elapsed 0:02, left ~0:04";
    const std::string last = "\rgenetic simulation 3 of 3, elapsed 0:12";
    // The final text is shorter: blanks cover the end of the previous one.
    EXPECT_EQ(terminal.screen.str(),
              drawn + last + std::string(drawn.size() - last.size(), ' ') + "\n");
}

TEST(ProgressLine, APhaseShorterThanTheIntervalWritesNothing) {
    FakeTerminal terminal;
    terminal.line.start("generation", 50);
    for (int done = 1; done <= 50; ++done) {
        terminal.now += milliseconds(4);
        terminal.line.update(done);
    }
    terminal.line.finish();
    EXPECT_EQ(terminal.screen.str(), "");
}

TEST(ProgressLine, WritesNothingWhenNotATerminal) {
    std::string written;
    {
        FakeTerminal redirected(false);
        redirected.line.start("generation", 10);
        for (int done = 1; done <= 10; ++done) {
            redirected.now += seconds(1);
            redirected.line.update(done);
        }
        redirected.line.start("genetic simulation", 2);
        redirected.now += seconds(5);
        redirected.line.update(1);
        written = redirected.screen.str();
    }
    EXPECT_EQ(written, "");
}

TEST(ProgressLine, AnUnfinishedLineIsBlankedWhenDropped) {
    std::ostringstream screen;
    ProgressLine::Clock::time_point now{seconds(5)};
    const std::string drawn = "\rgeneration 4 of 9, elapsed 0:01, left ~0:01";
    {
        ProgressLine line(screen, true, [&now] { return now; });
        line.start("generation", 9);
        now += seconds(1);
        line.update(4);
        EXPECT_EQ(screen.str(), drawn);
    }
    EXPECT_EQ(screen.str(), drawn + "\r" + std::string(drawn.size() - 1, ' ') + "\r");
}

}  // namespace
