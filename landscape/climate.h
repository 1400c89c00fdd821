#pragma once
// Step functions of time (years BP, negative before present) for the climate
// series and the sea levels, and the reader of their files.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "foundations/containers.h"
#include "foundations/my_string.h"

// The value of a step holds from the time the step begins. Lookups remember
// the interval they found, so the generation loop, whose time only grows,
// finds its interval at once.
template <class T>
class TimeStoInt {
  public:
    static constexpr int kInitialSize = 11;
    static constexpr int kGrowthStep = 200;

    TimeStoInt() : values(kInitialSize - 1, kGrowthStep), times(kInitialSize - 1, kGrowthStep) {}
    TimeStoInt(const TimeStoInt&) = default;
    TimeStoInt& operator=(const TimeStoInt&) = default;
    virtual ~TimeStoInt() = default;

    // Appends a step, unless the value repeats the last one: a run of equal
    // values keeps only its first time.
    void addPoint(int32_t time, const T& value) {
        if (values.count() == 0 || !(value == values[values.count() - 1])) {
            values.Add(value);
            times.Add(time);
        }
    }

    // The value of the step that holds time; outside every interval (and for a
    // series of one point) the last value; T() for an empty series.
    T operator[](int32_t time) {
        const int length = times.count();
        if (length == 0) {
            found = false;
            return T();
        }
        if (!(found && locateNear(time, length)) && !locateByScan(time, length)) {
            found = false;
            return values[length - 1];
        }
        const int lower = index - 1;
        return times[index] == times[lower] || times[index] == time ? values[index]
                                                                    : values[lower];
    }

    int count() const { return times.count(); }
    void clear() {
        values.Flush();
        times.Flush();
        found = false;
        index = 0;
    }

    MY_TArrayAsVector<T> values;
    MY_TArrayAsVector<int32_t> times;
    bool found = false;
    int32_t index = 0;  // upper end of the interval the last lookup found

  private:
    bool holds(int upper, int32_t time) const {
        return times[upper - 1] <= time && time <= times[upper];
    }
    // The interval found last, or the one after it.
    bool locateNear(int32_t time, int length) {
        if (index >= 1 && index < length && holds(index, time)) return true;
        if (index >= 1 && index + 1 < length && holds(index + 1, time)) {
            ++index;
            return true;
        }
        return false;
    }
    bool locateByScan(int32_t time, int length) {
        for (int upper = 1; upper < length; ++upper) {
            if (holds(upper, time)) {
                index = upper;
                found = true;
                return true;
            }
        }
        return false;
    }
};

// One (time, value) pair of a series file.
struct TTimedValue {
    int32_t time = 0;
    float value = 0.0f;
    int line = 0;  // where the pair's time stands, counted from 1
};

// Reads a series file from in: pairs of a time (a real number truncated toward zero to
// whole years) and a value, separated by any white space. Returns the empty
// text when the file holds at least one pair, every word is a finite number in
// range, every time has its value and no time is earlier than the one before;
// otherwise a message naming the file (described by what, e.g. "the climate
// file 'x' (VostokFile)") and the line and text at fault.
std::string readTimedValues(std::istream& in, const std::string& what,
                            std::vector<TTimedValue>& pairs);

// Reads a series file as readTimedValues does and adds its pairs to series;
// a file at fault is reported (console and log) and gives false.
bool loadTimedValues(std::istream& in, const std::string& what, std::vector<TTimedValue>& pairs,
                     TimeStoInt<float>& series);
