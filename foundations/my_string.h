#pragma once
// The program's own text type: at most 10000 characters, with the stream
// readers that cut every text input (settings, maps, tables, samples) into
// lines and words. The exact reader rules decide how input files are parsed.
//
// Over-long texts are refused silently: an assignment or append that would pass
// kMaxLength leaves the string unchanged, a concatenation that would pass it
// gives the empty text, and a C text of kMaxLength characters or more constructs
// the empty text. No operation throws except for exhausted memory.
//
// The buffer always holds a NUL-terminated text and at least one spare byte
// (capacity >= length + 2); it never shrinks.

#include <cstdint>
#include <iosfwd>

class my_string {
public:
    static constexpr int kMaxLength = 10000;

    my_string();
    my_string(const char* text);  // NOLINT: implicit, like the C texts it stands for
    my_string(const my_string& other);
    // Moving leaves the source in the default state (empty, fresh 10-byte buffer).
    my_string(my_string&& other) noexcept;
    ~my_string();

    my_string& operator=(const my_string& other);
    my_string& operator=(my_string&& other) noexcept;
    my_string& operator=(const char* text);
    my_string& operator=(int value);

    // Appending the NUL character leaves the text as it is: the text ends at its
    // first NUL, so a NUL can never become part of it.
    my_string& operator+=(char c);
    my_string& operator+=(const char* text);
    my_string& operator+=(const my_string& other);

    // Queries.
    const char* c_str() const { return buffer_; }
    int length() const { return length_; }
    int capacity() const { return capacity_; }
    bool is_null() const { return length_ == 0; }
    bool empty() const { return length_ == 0; }
    bool contains(const char* needle) const;
    int rfind(const my_string& needle) const;  // first occurrence, despite the name
    int toInt() const;
    double toDouble() const;
    my_string extract_before(char c) const;
    my_string extract_after(char c) const;
    char operator[](int i) const { return buffer_[i]; }

    // In-place edits.
    void remove(int start, int count);
    void trim_blanks();
    void remove_blanks();
    void Upper();
    void to_upper();
    void extract_path();
    void rm_path();

    // Stream readers. Each starts from the empty text and appends what it reads
    // one character at a time, so the length limit applies (the rest of an
    // over-long line or word is consumed and dropped). At the end of the input
    // they set eofbit, and failbit too when they could take nothing at all.
    bool read_line(std::istream& in);
    void read_to_delim(std::istream& in);
    friend std::istream& operator>>(std::istream& in, my_string& s);

private:
    void resetToDefault();
    void resetForReading();
    void growTo(int newCapacity);
    void assignBytes(const char* source, int count);
    void appendBytes(const char* source, int count);

    char* buffer_;
    int32_t growthStep_;
    int32_t length_;
    int32_t capacity_;
};

my_string operator+(const my_string& a, const char* b);
my_string operator+(const my_string& a, const my_string& b);
// Writes the text as a C text would be written (the stream's width and fill apply).
std::ostream& operator<<(std::ostream& out, const my_string& s);
std::istream& operator>>(std::istream& in, my_string& s);

// Byte-wise ordering (unsigned bytes, shorter prefix first), as the C library's
// text comparison: the order of the settings store.
bool operator<(const my_string& a, const my_string& b);
bool operator==(const my_string& a, const my_string& b);
bool operator!=(const my_string& a, const my_string& b);
bool operator==(const my_string& a, const char* b);

char* my_strcpy(char* destination, const char* source);
