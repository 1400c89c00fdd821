#pragma once
// The program's collections: a growable array of values, a growable array of
// (optionally owned) pointers, and a singly linked chain of pointers from which
// the coalescent takes pairs of lineages by position.
//
// None of them checks indexes beyond what each operation states, reports errors,
// or is safe for concurrent use. When memory runs out while one grows or is
// flushed, std::bad_alloc propagates and the container is left as it was.

#include <cstdint>
#include <iostream>
#include <utility>

// ---------------------------------------------------------------------------
// Growable array of values. Slots 0 .. count-1 are in use; every slot holds a
// default-constructed or assigned T.
template <class T>
class MY_TArrayAsVector {
public:
    // upper is the highest index: upper 0 gives one slot, upper -1 none.
    MY_TArrayAsVector(const int& upper, const int& delta)
        : data_(nullptr),
          size_(upper < 0 ? 0 : upper + 1),
          initialSize_(size_),
          count_(0),
          growthStep_(delta) {
        data_ = new T[size_];
    }
    MY_TArrayAsVector() : MY_TArrayAsVector(10, 10) {}

    MY_TArrayAsVector(const MY_TArrayAsVector& other)
        : data_(nullptr),
          size_(other.size_),
          initialSize_(other.initialSize_),
          count_(other.count_),
          growthStep_(other.growthStep_) {
        data_ = new T[size_];
        copySlots(other.data_, data_, count_);
    }

    // Flush, then take the other's size, count and growth step and a copy of its
    // elements; the initial size (what Flush returns to) stays this array's own.
    MY_TArrayAsVector& operator=(const MY_TArrayAsVector& other) {
        if (this == &other) return *this;
        T* fresh = new T[other.size_];
        copySlots(other.data_, fresh, other.count_);
        delete[] data_;
        data_ = fresh;
        size_ = other.size_;
        count_ = other.count_;
        growthStep_ = other.growthStep_;
        return *this;
    }

    ~MY_TArrayAsVector() { delete[] data_; }

    // Stores the value at slot count and returns the new count. A full array first
    // grows by the growth step; one whose growth step is 0 or less grows by one
    // slot, so Add never writes past the allocation.
    int Add(const T& value) {
        if (count_ >= size_) {
            const int32_t grownSize = count_ + (growthStep_ > 0 ? growthStep_ : 1);
            T* grown = new T[grownSize];
            grown[count_] = value;  // before the old slots go: value may be one of them
            moveSlots(data_, grown, size_);
            delete[] data_;
            data_ = grown;
            size_ = grownSize;
        } else {
            data_[count_] = value;
        }
        return ++count_;
    }

    T& operator[](int i) { return data_[i]; }
    const T& operator[](int i) const { return data_[i]; }

    // Back to the initial size with fresh slots and count 0.
    void Flush() {
        T* fresh = new T[initialSize_];
        delete[] data_;
        data_ = fresh;
        size_ = initialSize_;
        count_ = 0;
    }

    // n slots keeping the first ones; shrinking keeps the slots that fit (and the
    // count is cut to them).
    void Resize(const int& n) {
        const int32_t newSize = n < 0 ? 0 : n;
        T* fresh = new T[newSize];
        moveSlots(data_, fresh, size_ < newSize ? size_ : newSize);
        delete[] data_;
        data_ = fresh;
        size_ = newSize;
        if (count_ > size_) count_ = size_;
    }

    // n fresh slots, count 0: the contents are lost.
    void Reallocate(const int& n) {
        const int32_t newSize = n < 0 ? 0 : n;
        T* fresh = new T[newSize];
        delete[] data_;
        data_ = fresh;
        size_ = newSize;
        count_ = 0;
    }

    // Number of slots in use; GetItemsInContainer is the classic name of the same.
    int count() const { return count_; }
    int GetItemsInContainer() const { return count_; }
    int size() const { return size_; }  // slots allocated
    int initialSize() const { return initialSize_; }
    int growthStep() const { return growthStep_; }
    bool empty() const { return count_ == 0; }

private:
    static void copySlots(const T* from, T* to, int32_t n) {
        for (int32_t i = 0; i < n; ++i) to[i] = from[i];
    }
    static void moveSlots(T* from, T* to, int32_t n) {
        for (int32_t i = 0; i < n; ++i) to[i] = std::move(from[i]);
    }

    T* data_;
    int32_t size_;
    int32_t initialSize_;
    int32_t count_;
    int32_t growthStep_;
};

// ---------------------------------------------------------------------------
// Growable array of pointers to T. When owning (the default), the array deletes
// the objects it points to, through their virtual destructor, on Flush and on
// destruction. Not copyable: two arrays must never own the same objects.
template <class T>
class MY_TIArrayAsVector {
public:
    // upper is the highest index: upper 0 gives one slot. All slots start null.
    MY_TIArrayAsVector(const int64_t& upper, const int64_t& delta, bool owning = true)
        : data_(nullptr),
          size_(upper < 0 ? 0 : upper + 1),
          count_(0),
          initialSize_(size_),
          growthStep_(delta),
          spare_(nullptr),
          owning_(owning) {
        data_ = new T*[size_]();
    }
    MY_TIArrayAsVector() : MY_TIArrayAsVector(10, 10) {}

    MY_TIArrayAsVector(const MY_TIArrayAsVector&) = delete;
    MY_TIArrayAsVector& operator=(const MY_TIArrayAsVector&) = delete;

    ~MY_TIArrayAsVector() {
        if (owning_) deleteElements(count_);
        delete[] data_;
    }

    // Stores the pointer at slot count and returns the new count; grows as the
    // value array does (by one slot when the growth step is 0 or less).
    int64_t Add(T* element) {
        if (count_ >= size_) resizeSlots(count_ + (growthStep_ > 0 ? growthStep_ : 1));
        data_[count_] = element;
        return ++count_;
    }

    // Below count: slot i. From count up to the size: the count becomes i + 1 and
    // slot i is returned. Beyond the size, or negative: the spare slot, reset to
    // null on every such access, so nothing written there survives.
    T*& operator[](int64_t i) {
        if (i < 0 || i >= size_) {
            spare_ = nullptr;
            return spare_;
        }
        if (i >= count_) count_ = i + 1;
        return data_[i];
    }
    // Read-only access: slot i when it is in use, null otherwise; never changes the count.
    T* operator[](int64_t i) const { return i >= 0 && i < count_ ? data_[i] : nullptr; }

    // Deletes the elements when owning, then fresh null slots of the initial size.
    void Flush() {
        T** fresh = new T*[initialSize_]();
        if (owning_) deleteElements(size_);
        delete[] data_;
        data_ = fresh;
        size_ = initialSize_;
        count_ = 0;
    }

    // n slots keeping the pointers that fit, new slots null; shrinking cuts the
    // count to n and never deletes (the caller keeps what no longer fits).
    void Resize(const int64_t& n) { resizeSlots(n < 0 ? 0 : n); }

    int64_t count() const { return count_; }
    int64_t GetItemsInContainer() const { return count_; }  // the classic name of count()
    int64_t size() const { return size_; }
    int64_t initialSize() const { return initialSize_; }
    int64_t growthStep() const { return growthStep_; }
    bool empty() const { return count_ == 0; }
    bool isOwning() const { return owning_; }
    void setOwning(bool owning) { owning_ = owning; }

private:
    void deleteElements(int64_t slots) {
        for (int64_t i = 0; i < slots; ++i) {
            delete data_[i];
            data_[i] = nullptr;
        }
    }

    void resizeSlots(int64_t newSize) {
        T** fresh = new T*[newSize]();
        const int64_t kept = size_ < newSize ? size_ : newSize;
        for (int64_t i = 0; i < kept; ++i) fresh[i] = data_[i];
        delete[] data_;
        data_ = fresh;
        size_ = newSize;
        if (count_ > size_) count_ = size_;
    }

    T** data_;
    int64_t size_;
    int64_t count_;
    int64_t initialSize_;
    int64_t growthStep_;
    T* spare_;
    bool owning_;
};

// ---------------------------------------------------------------------------
// Singly linked chain of pointers to T; positions count from 0 at the first
// link. When owning, the chain deletes its elements when they leave it through
// deleteChain, truncate, returnTwoElemsAndReplaceFirstByNewElem (the second one)
// or destruction; detachAt always hands the element over to the caller.
//
// The cursor remembers the link last reached, so walking with first()/next() or
// asking elementAt() for rising positions costs one step per position. Walking
// does not change the contents, hence the const walkers.
template <class T>
class TISimpleChain {
public:
    explicit TISimpleChain(bool owning = false)
        : cursor_(nullptr),
          cursorPos_(-1),
          first_(nullptr),
          last_(nullptr),
          count_(0),
          owning_(owning) {}

    TISimpleChain(const TISimpleChain&) = delete;
    TISimpleChain& operator=(const TISimpleChain&) = delete;

    ~TISimpleChain() { deleteChain(); }

    // Adds a link at the end and returns its position (the old count).
    int64_t append(T* element) {
        Link* link = new Link{element, nullptr};
        if (last_ == nullptr) {
            first_ = link;
        } else {
            last_->next = link;
        }
        last_ = link;
        return count_++;
    }

    // Walking: first() puts the cursor on the first link, next() moves it on; both
    // return the element under the cursor, null once the cursor has run off the end.
    T* first() const {
        cursor_ = first_;
        cursorPos_ = cursor_ == nullptr ? -1 : 0;
        return current();
    }
    T* next() const {
        if (cursor_ != nullptr) {
            cursor_ = cursor_->next;
            cursorPos_ = cursor_ == nullptr ? -1 : cursorPos_ + 1;
        }
        return current();
    }
    T* current() const { return cursor_ == nullptr ? nullptr : cursor_->element; }

    // The element at pos (the cursor is left there), null when pos is out of range.
    T* elementAt(int64_t pos) const {
        if (pos < 0 || pos >= count_) return nullptr;
        return linkAt(pos)->element;
    }

    // Unlinks the link at pos and returns its element, never deleting it; null and
    // no change when pos is out of range.
    T* detachAt(int64_t pos) {
        if (pos < 0 || pos >= count_) return nullptr;
        Link* removed;
        if (pos == 0) {
            removed = first_;
            first_ = removed->next;
            if (last_ == removed) last_ = nullptr;
            if (cursor_ == removed) {
                forgetCursor();
            } else if (cursor_ != nullptr) {
                --cursorPos_;
            }
        } else {
            Link* before = linkAt(pos - 1);  // the cursor stays there, still valid
            removed = before->next;
            before->next = removed->next;
            if (last_ == removed) last_ = before;
        }
        T* element = removed->element;
        delete removed;
        --count_;
        return element;
    }

    // Keeps the first n links and frees the others, deleting their elements when owning.
    void truncate(int64_t n) {
        if (n <= 0) {
            deleteChain();
            return;
        }
        if (n >= count_) return;
        Link* keptLast = linkAt(n - 1);
        freeLinks(keptLast->next);
        keptLast->next = nullptr;
        last_ = keptLast;
        count_ = n;
    }

    // Frees every link (deleting its element first when owning); returns the old count.
    int64_t deleteChain() {
        freeLinks(first_);
        first_ = nullptr;
        last_ = nullptr;
        forgetCursor();
        const int64_t oldCount = count_;
        count_ = 0;
        return oldCount;
    }

    // Takes the elements at pos1 and pos2 out of the chain: the link at the lower
    // position keeps its place and now holds newElem, the link at the higher one is
    // removed. first receives the element that stood at the lower position, second
    // the one at the higher (deleted and set to null when owning). Returns 1.
    // Positions out of range, or equal, print a message and change nothing
    // (returns 0); the run does not wait for the user.
    int returnTwoElemsAndReplaceFirstByNewElem(T*& first, T*& second, T*& newElem, const int& pos1,
                                               const int& pos2) {
        if (pos1 >= count_ || pos2 >= count_ || pos1 < 0 || pos2 < 0) {
            std::cout << pos1 << " " << pos2 << "\n"
                      << "Error: object with a rank higher than the size of the chain list\n"
                      << "Close the window (advised) or press any key to continue" << std::endl;
            return 0;
        }
        if (pos1 == pos2) {
            std::cout << pos1 << " " << pos2 << "\n"
                      << "Error: two different ranks are needed to take two objects from the "
                         "chain list"
                      << std::endl;
            return 0;
        }
        const int64_t low = pos1 < pos2 ? pos1 : pos2;
        const int64_t high = pos1 < pos2 ? pos2 : pos1;
        Link* lowLink = linkAt(low);
        first = lowLink->element;
        lowLink->element = newElem;
        Link* before = linkAt(high - 1);  // the cursor stays there, still valid
        Link* removed = before->next;
        second = removed->element;
        before->next = removed->next;
        if (last_ == removed) last_ = before;
        delete removed;
        --count_;
        if (owning_) {
            delete second;
            second = nullptr;
        }
        return 1;
    }

    int64_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool isOwning() const { return owning_; }
    void setOwning(bool owning) { owning_ = owning; }

private:
    struct Link {
        T* element;
        Link* next;
    };

    // Walks from the cursor when it lies at or before pos, else from the first link.
    Link* linkAt(int64_t pos) const {
        Link* link = first_;
        int64_t at = 0;
        if (cursor_ != nullptr && cursorPos_ <= pos) {
            link = cursor_;
            at = cursorPos_;
        }
        for (; at < pos; ++at) link = link->next;
        cursor_ = link;
        cursorPos_ = pos;
        return link;
    }

    void freeLinks(Link* link) {
        while (link != nullptr) {
            Link* following = link->next;
            if (cursor_ == link) forgetCursor();
            if (owning_) delete link->element;
            delete link;
            link = following;
        }
    }

    void forgetCursor() const {
        cursor_ = nullptr;
        cursorPos_ = -1;
    }

    mutable Link* cursor_;
    mutable int64_t cursorPos_;
    Link* first_;
    Link* last_;
    int64_t count_;
    bool owning_;
};
