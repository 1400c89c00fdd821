#include "foundations/my_string.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>

namespace {

constexpr int32_t kDefaultCapacity = 10;
constexpr int32_t kDefaultGrowthStep = 10;
constexpr int32_t kIntTextCapacity = 22;  // room for any "%d" text of a 32-bit int

using Traits = std::istream::traits_type;
const Traits::int_type kEnd = Traits::eof();
const Traits::int_type kByteFF = Traits::to_int_type(static_cast<char>(0xFF));

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isPathSeparator(char c) {
    return c == '/' || c == '\\';
}

int32_t textLength(const char* text) {
    if (text == nullptr) return 0;
    const size_t n = std::strlen(text);
    // Anything longer than the limit is refused anyway; keep the count in range.
    return n > static_cast<size_t>(my_string::kMaxLength) ? my_string::kMaxLength + 1
                                                          : static_cast<int32_t>(n);
}

int lastPathSeparator(const char* text, int length) {
    for (int i = length - 1; i >= 0; --i) {
        if (isPathSeparator(text[i])) return i;
    }
    return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and assignment

my_string::my_string()
    : buffer_(new char[kDefaultCapacity]),
      growthStep_(kDefaultGrowthStep),
      length_(0),
      capacity_(kDefaultCapacity) {
    buffer_[0] = '\0';
}

my_string::my_string(const char* text) : buffer_(nullptr), growthStep_(kDefaultGrowthStep) {
    const int32_t n = textLength(text);
    if (n >= kMaxLength) {
        buffer_ = new char[kDefaultCapacity];
        buffer_[0] = '\0';
        length_ = 0;
        capacity_ = kDefaultCapacity;
        return;
    }
    buffer_ = new char[n + 2];
    if (n > 0) std::memcpy(buffer_, text, n);
    buffer_[n] = '\0';
    length_ = n;
    capacity_ = n + 2;
}

my_string::my_string(const my_string& other) : my_string() {
    *this = other;
}

my_string::my_string(my_string&& other) noexcept
    : buffer_(other.buffer_),
      growthStep_(other.growthStep_),
      length_(other.length_),
      capacity_(other.capacity_) {
    other.buffer_ = nullptr;
    other.resetToDefault();
}

my_string::~my_string() {
    delete[] buffer_;
}

my_string& my_string::operator=(const my_string& other) {
    if (this != &other) assignBytes(other.buffer_, other.length_);
    return *this;
}

my_string& my_string::operator=(my_string&& other) noexcept {
    if (this == &other) return *this;
    delete[] buffer_;
    buffer_ = other.buffer_;
    growthStep_ = other.growthStep_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.buffer_ = nullptr;
    other.resetToDefault();
    return *this;
}

my_string& my_string::operator=(const char* text) {
    assignBytes(text == nullptr ? "" : text, textLength(text));
    return *this;
}

my_string& my_string::operator=(int value) {
    if (capacity_ < 20) {
        char* fresh = new char[kIntTextCapacity];
        delete[] buffer_;
        buffer_ = fresh;
        capacity_ = kIntTextCapacity;
    }
    const int written = std::snprintf(buffer_, static_cast<size_t>(capacity_), "%d", value);
    length_ = written < 0 ? 0 : written;
    buffer_[length_] = '\0';
    return *this;
}

// ---------------------------------------------------------------------------
// Appending and concatenation

my_string& my_string::operator+=(char c) {
    // The text ends at its first NUL: "storing" one changes nothing.
    if (c == '\0') return *this;
    if (length_ + 1 > kMaxLength) return *this;
    if (length_ + 2 >= capacity_) {
        // At least the growth step; doubling beyond it keeps a reader that appends
        // a long line character by character linear rather than quadratic.
        const int32_t stepped = length_ + growthStep_ + 2;
        const int32_t doubled = std::min(2 * capacity_, kMaxLength + 2);
        growTo(std::max(stepped, doubled));
    }
    buffer_[length_] = c;
    ++length_;
    buffer_[length_] = '\0';
    return *this;
}

my_string& my_string::operator+=(const char* text) {
    if (text != nullptr) appendBytes(text, textLength(text));
    return *this;
}

my_string& my_string::operator+=(const my_string& other) {
    appendBytes(other.buffer_, other.length_);
    return *this;
}

my_string operator+(const my_string& a, const char* b) {
    my_string result;
    if (a.length() + textLength(b) > my_string::kMaxLength) return result;
    result = a;
    result += b;
    return result;
}

my_string operator+(const my_string& a, const my_string& b) {
    my_string result;
    if (a.length() + b.length() > my_string::kMaxLength) return result;
    result = a;
    result += b;
    return result;
}

// ---------------------------------------------------------------------------
// Queries

bool my_string::contains(const char* needle) const {
    if (needle == nullptr || needle[0] == '\0') return false;
    return std::strstr(buffer_, needle) != nullptr;
}

int my_string::rfind(const my_string& needle) const {
    if (needle.length_ == 0 || needle.length_ > length_) return -1;
    const char* hit = std::strstr(buffer_, needle.buffer_);
    return hit == nullptr ? -1 : static_cast<int>(hit - buffer_);
}

int my_string::toInt() const {
    // 64-bit conversion, then the low 32 bits: the same result on 32- and 64-bit builds.
    const long long converted = std::strtoll(buffer_, nullptr, 10);
    const int value = static_cast<int32_t>(static_cast<uint32_t>(converted));
    if (value != 0) return value;
    return std::memchr(buffer_, '0', static_cast<size_t>(length_)) != nullptr ? 0 : -1;
}

double my_string::toDouble() const {
    return std::strtod(buffer_, nullptr);
}

my_string my_string::extract_before(char c) const {
    const void* hit = std::memchr(buffer_, c, static_cast<size_t>(length_));
    if (hit == nullptr) return *this;
    my_string result;
    result.assignBytes(buffer_, static_cast<int>(static_cast<const char*>(hit) - buffer_));
    return result;
}

my_string my_string::extract_after(char c) const {
    const void* hit = std::memchr(buffer_, c, static_cast<size_t>(length_));
    if (hit == nullptr) return *this;
    const int start = static_cast<int>(static_cast<const char*>(hit) - buffer_) + 1;
    my_string result;
    result.assignBytes(buffer_ + start, length_ - start);
    return result;
}

// ---------------------------------------------------------------------------
// In-place edits

void my_string::remove(int start, int count) {
    // Position 0 cannot be removed from; a start at or past the end has nothing to remove.
    if (count <= 0 || start <= 0 || start >= length_) return;
    if (static_cast<int64_t>(start) + count >= length_) {
        length_ = start;
    } else {
        std::memmove(buffer_ + start, buffer_ + start + count,
                     static_cast<size_t>(length_ - start - count));
        length_ -= count;
    }
    buffer_[length_] = '\0';
}

void my_string::trim_blanks() {
    int begin = 0;
    while (begin < length_ && isBlank(buffer_[begin])) ++begin;
    int end = length_;
    while (end > begin && isBlank(buffer_[end - 1])) --end;
    length_ = end - begin;
    if (begin > 0) std::memmove(buffer_, buffer_ + begin, static_cast<size_t>(length_));
    buffer_[length_] = '\0';
}

void my_string::remove_blanks() {
    int kept = 0;
    for (int i = 0; i < length_; ++i) {
        if (!isBlank(buffer_[i])) buffer_[kept++] = buffer_[i];
    }
    length_ = kept;
    buffer_[length_] = '\0';
}

void my_string::Upper() {
    for (int i = 0; i < length_; ++i) {
        if (buffer_[i] >= 'a' && buffer_[i] <= 'z')
            buffer_[i] = static_cast<char>(buffer_[i] - 'a' + 'A');
    }
}

void my_string::to_upper() {
    Upper();
}

void my_string::extract_path() {
    length_ = lastPathSeparator(buffer_, length_) + 1;
    buffer_[length_] = '\0';
}

void my_string::rm_path() {
    const int cut = lastPathSeparator(buffer_, length_) + 1;
    if (cut == 0) return;
    length_ -= cut;
    std::memmove(buffer_, buffer_ + cut, static_cast<size_t>(length_));
    buffer_[length_] = '\0';
}

// ---------------------------------------------------------------------------
// Stream readers

bool my_string::read_line(std::istream& in) {
    resetForReading();
    const std::istream::sentry guard(in, true);
    if (!guard) return false;
    std::streambuf* source = in.rdbuf();
    bool tookAny = false;
    Traits::int_type c = source->sgetc();
    while (c == ' ' || c == '\t' || c == '\r') {
        tookAny = true;
        c = source->snextc();
    }
    for (;;) {
        if (Traits::eq_int_type(c, kEnd)) {
            in.setstate(tookAny ? std::ios_base::eofbit
                                : std::ios_base::eofbit | std::ios_base::failbit);
            return false;
        }
        source->sbumpc();
        tookAny = true;
        // A NUL ends the line too; it is stored, which leaves the text as it is.
        if (c == '\n' || c == '\0' || c == kByteFF) return true;
        *this += Traits::to_char_type(c);
        c = source->sgetc();
    }
}

void my_string::read_to_delim(std::istream& in) {
    resetForReading();
    const std::istream::sentry guard(in, true);
    if (!guard) return;
    std::streambuf* source = in.rdbuf();
    bool tookAny = false;
    for (;;) {
        const Traits::int_type c = source->sgetc();
        if (Traits::eq_int_type(c, kEnd)) {
            in.setstate(tookAny ? std::ios_base::eofbit
                                : std::ios_base::eofbit | std::ios_base::failbit);
            return;
        }
        source->sbumpc();
        tookAny = true;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\0' || c == kByteFF) return;
        *this += Traits::to_char_type(c);
    }
}

std::istream& operator>>(std::istream& in, my_string& s) {
    s.resetForReading();
    const std::istream::sentry guard(in, true);
    if (!guard) return in;
    std::streambuf* source = in.rdbuf();
    Traits::int_type c = source->sgetc();
    while (c == ' ' || c == '\t') c = source->snextc();
    if (Traits::eq_int_type(c, kEnd)) {
        in.setstate(std::ios_base::eofbit | std::ios_base::failbit);
        return in;
    }
    if (c == '\n') return in;  // left for the next reader
    if (c == '\r' || c == kByteFF) {
        source->sbumpc();
        return in;
    }
    for (;;) {
        s += Traits::to_char_type(c);
        c = source->snextc();
        if (Traits::eq_int_type(c, kEnd)) {
            in.setstate(std::ios_base::eofbit);  // the word itself was read
            return in;
        }
        if (c == '\n') return in;  // left for the next reader
        if (c == ' ' || c == '\r' || c == kByteFF) {
            source->sbumpc();
            return in;
        }
    }
}

// ---------------------------------------------------------------------------
// Output, comparison, C text copy

std::ostream& operator<<(std::ostream& out, const my_string& s) {
    return out << s.c_str();
}

bool operator<(const my_string& a, const my_string& b) {
    const int shorter = std::min(a.length(), b.length());
    const int order = std::memcmp(a.c_str(), b.c_str(), static_cast<size_t>(shorter));
    return order != 0 ? order < 0 : a.length() < b.length();
}

bool operator==(const my_string& a, const my_string& b) {
    return a.length() == b.length() &&
           std::memcmp(a.c_str(), b.c_str(), static_cast<size_t>(a.length())) == 0;
}

bool operator!=(const my_string& a, const my_string& b) {
    return !(a == b);
}

bool operator==(const my_string& a, const char* b) {
    return std::strcmp(a.c_str(), b == nullptr ? "" : b) == 0;
}

char* my_strcpy(char* destination, const char* source) {
    return std::strcpy(destination, source);
}

// ---------------------------------------------------------------------------
// Buffer management

void my_string::resetToDefault() {
    char* fresh = new char[kDefaultCapacity];
    delete[] buffer_;
    buffer_ = fresh;
    buffer_[0] = '\0';
    growthStep_ = kDefaultGrowthStep;
    length_ = 0;
    capacity_ = kDefaultCapacity;
}

void my_string::resetForReading() {
    if (capacity_ < 2) {
        char* fresh = new char[2];
        delete[] buffer_;
        buffer_ = fresh;
        capacity_ = 2;
    }
    length_ = 0;
    buffer_[0] = '\0';
}

void my_string::growTo(int newCapacity) {
    char* grown = new char[newCapacity];
    std::memcpy(grown, buffer_, static_cast<size_t>(length_) + 1);
    delete[] buffer_;
    buffer_ = grown;
    capacity_ = newCapacity;
}

// The source may lie inside this string's own buffer: it is read before the old
// buffer is freed, and moved with memmove when the buffer is kept.
void my_string::assignBytes(const char* source, int count) {
    if (count > kMaxLength) return;
    if (count + 1 >= capacity_) {
        char* fresh = new char[count + 2];
        std::memcpy(fresh, source, static_cast<size_t>(count));
        delete[] buffer_;
        buffer_ = fresh;
        capacity_ = count + 2;
    } else {
        std::memmove(buffer_, source, static_cast<size_t>(count));
    }
    length_ = count;
    buffer_[length_] = '\0';
}

void my_string::appendBytes(const char* source, int count) {
    const int combined = length_ + count;
    if (combined > kMaxLength) return;
    if (combined + 1 >= capacity_) {
        char* grown = new char[combined + 2];
        std::memcpy(grown, buffer_, static_cast<size_t>(length_));
        std::memcpy(grown + length_, source, static_cast<size_t>(count));
        delete[] buffer_;
        buffer_ = grown;
        capacity_ = combined + 2;
    } else {
        std::memmove(buffer_ + length_, source, static_cast<size_t>(count));
    }
    length_ = combined;
    buffer_[length_] = '\0';
}
