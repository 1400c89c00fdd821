#pragma once
// A one-line progress report of a long phase ("generation 120 of 2000, elapsed
// 0:03, left ~0:47") on standard error, rewritten in place with '\r'. It is
// shown only when standard error is a terminal, so logs, redirected consoles
// and output files never see it, and at most every kInterval: a phase shorter
// than that shows nothing at all. The clock and the terminal test can be
// injected for tests.

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

class ProgressLine {
  public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;
    static constexpr std::chrono::milliseconds kInterval{250};

    // On standard error when it is a terminal; otherwise it writes nothing.
    ProgressLine();
    // On out when terminal is true; otherwise it writes nothing.
    ProgressLine(std::ostream& out, bool terminal, Now now = Clock::now);
    // A line still shown (the phase ended early) is blanked, so the messages
    // that follow start on a clean line.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A phase of total steps starts now.
    void start(const std::string& label, long long total);
    // done steps of the phase are complete. Cheap when not due: one clock read.
    void update(long long done) {
        if (!terminal_) return;
        done_ = done;
        const Clock::time_point now = now_();
        if (now < nextDraw_) return;
        draw(done, now, false);
    }
    // The phase is complete: a line that was shown gets its final state and ends
    // with a newline; a phase too short to be shown writes nothing.
    void finish();

  private:
    void draw(long long done, Clock::time_point now, bool final);
    void write(const std::string& text);

    std::ostream* out_;
    bool terminal_;
    Now now_;
    std::string label_;
    long long total_ = 0;
    long long done_ = 0;
    Clock::time_point startTime_{};
    Clock::time_point nextDraw_{};
    bool shown_ = false;
    std::size_t shownLength_ = 0;
};
