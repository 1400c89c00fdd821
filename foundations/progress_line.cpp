#include "foundations/progress_line.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <utility>

namespace {

// "m:ss" below an hour, "h:mm:ss" above.
std::string clockText(long long seconds) {
    const long long hours = seconds / 3600;
    const long long minutes = seconds / 60 % 60;
    const long long secs = seconds % 60;
    auto twoDigits = [](long long value) {
        return (value < 10 ? "0" : "") + std::to_string(value);
    };
    if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(secs);
    return std::to_string(minutes) + ":" + twoDigits(secs);
}

long long wholeSeconds(std::chrono::duration<double> duration) {
    return static_cast<long long>(std::max(0.0, duration.count()) + 0.5);
}

}  // namespace

ProgressLine::ProgressLine() : ProgressLine(std::cerr, isatty(STDERR_FILENO) != 0) {}

ProgressLine::ProgressLine(std::ostream& out, bool terminal, Now now)
    : out_(&out), terminal_(terminal), now_(std::move(now)) {}

ProgressLine::~ProgressLine() {
    if (shown_) write("\r" + std::string(shownLength_, ' ') + "\r");
}

void ProgressLine::start(const std::string& label, long long total) {
    label_ = label;
    total_ = total;
    done_ = 0;
    shown_ = false;
    shownLength_ = 0;
    if (!terminal_) return;
    startTime_ = now_();
    nextDraw_ = startTime_ + kInterval;
}

void ProgressLine::finish() {
    if (!shown_) return;
    draw(done_, now_(), true);
    shown_ = false;
    shownLength_ = 0;
}

void ProgressLine::draw(long long done, Clock::time_point now, bool final) {
    done_ = std::clamp(done, 0LL, std::max(total_, 0LL));
    const std::chrono::duration<double> elapsed = now - startTime_;
    std::string text = label_ + " " + std::to_string(done_) + " of " + std::to_string(total_) +
                       ", elapsed " + clockText(wholeSeconds(elapsed));
    if (!final && done_ > 0) {
        // The steps still to come at the mean pace of those done.
        const double stepsLeft = static_cast<double>(total_ - done_) / static_cast<double>(done_);
        text += ", left ~" + clockText(wholeSeconds(elapsed * stepsLeft));
    }
    const std::size_t length = text.size();
    // Blank what a longer previous text leaves behind.
    if (length < shownLength_) text += std::string(shownLength_ - length, ' ');
    write("\r" + text + (final ? "\n" : ""));
    shown_ = true;
    shownLength_ = length;
    nextDraw_ = now + kInterval;
}

void ProgressLine::write(const std::string& text) {
    *out_ << text << std::flush;
}
