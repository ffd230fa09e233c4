#pragma once

// An ordered list of 8-bit strings, each with an optional object pointer that
// the list carries along but never owns.
//
// Comparisons (IndexOf, IndexOfName, sorting, duplicates) are by bytes. When
// the list is not case sensitive (the default), ASCII letters compare as upper
// case. The strings are GBK text, so a byte 0x81-0xFE followed by another byte
// is one double-byte character whose second byte is compared as it is: the
// trail byte of a character may be an ASCII letter and must not be folded.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace base {

enum class DuplicatesPolicy {
    Ignore,  // Add returns the index of the string already there
    Accept,  // equal strings are kept, in the order they were added
    Error,   // Add raises EListError
};

class TStringList {
  public:
    TStringList() = default;
    // A new list takes the strings, objects and settings, but neither the
    // change handlers nor an update in progress.
    TStringList(const TStringList& other);
    TStringList(TStringList&& other) noexcept;
    // Assignment is Assign: this list keeps its handlers and notifies them.
    TStringList& operator=(const TStringList& other);
    TStringList& operator=(TStringList&& other);

    int Count() const { return static_cast<int>(items_.size()); }

    // Index arguments outside the list raise EListError
    // "List index out of bounds (N)".
    const std::string& Get(int index) const;
    const std::string& Strings(int index) const { return Get(index); }
    const std::string& operator[](int index) const { return Get(index); }
    void* Objects(int index) const;

    // Put and Insert raise EListError on a sorted list, where a position
    // cannot be chosen.
    void Put(int index, std::string s);
    void PutObject(int index, void* object);
    int Add(std::string s) { return AddObject(std::move(s), nullptr); }
    // On a sorted list the string goes to its sorted place (after equal
    // strings) and the duplicates policy applies; returns its index.
    int AddObject(std::string s, void* object);
    void Insert(int index, std::string s) { InsertObject(index, std::move(s), nullptr); }
    void InsertObject(int index, std::string s, void* object);
    void Delete(int index);
    void Clear();
    // Raises EListError on a sorted list, whose order it would break.
    void Exchange(int index1, int index2);

    // Index of the first equal string, or -1.
    int IndexOf(std::string_view s) const;
    // On a sorted list a binary search: true when found, with `index` at the
    // first equal string, else false with `index` where Add would put it. On
    // an unsorted list a linear search; `index` is Count() when not found.
    bool Find(std::string_view s, int& index) const;

    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool value);  // re-sorts a sorted list
    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);  // sorting on turns the list sorted at once
    DuplicatesPolicy Duplicates() const { return duplicates_; }
    // Governs later additions only; strings already in the list stay.
    void SetDuplicates(DuplicatesPolicy value) { duplicates_ = value; }
    // Stable sort by the list's comparison; objects move with their strings.
    void Sort();

    // Every string followed by "\r\n".
    std::string Text() const;
    // Replaces the content with the lines of `text`, split at CR LF, a lone CR
    // or a lone LF. A last line without terminator counts; an empty text gives
    // no lines. On a sorted list the lines are added in sorted order.
    void SetText(std::string_view text);

    // Name=Value entries: the name is what precedes the first '='. A string
    // without '=' has no name and no value.
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    int IndexOfName(std::string_view name) const;
    std::string Values(std::string_view name) const;  // empty when absent
    // Replaces the first entry with that name by "name=value", or adds it
    // when there is none (a sorted list puts it in its sorted place). An
    // empty value deletes the entry.
    void SetValue(std::string_view name, std::string_view value);

    // Copies strings, objects and the case, sorting and duplicates settings;
    // the change handlers stay as they are.
    void Assign(const TStringList& other);
    // Adds every string of `other` with its object, through AddObject.
    void AddStrings(const TStringList& other);

    // Between BeginUpdate and the matching EndUpdate no handler runs; the
    // outermost EndUpdate fires OnChange once if anything changed meanwhile.
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    // Outside an update, OnChanging runs before and OnChange after every
    // modification.
    std::function<void(TStringList&)> OnChanging;
    std::function<void(TStringList&)> OnChange;

  private:
    struct Item {
        std::string str;
        void* object = nullptr;
    };

    int Compare(std::string_view a, std::string_view b) const;
    void CheckIndex(int index) const;
    void CheckNotSorted() const;
    // First position in `items` whose string is not less (LowerBound) or is
    // greater (UpperBound) than `s`; `items` must be sorted.
    size_t LowerBound(const std::vector<Item>& items, std::string_view s) const;
    size_t UpperBound(const std::vector<Item>& items, std::string_view s) const;
    // Where AddObject puts `s` in `items`: the end of an unsorted list, else
    // its sorted place after the duplicates policy. `insert` is false when an
    // equal string makes the addition be ignored; the result is then that
    // string's index. Raises EListError when duplicates are an error.
    size_t Place(const std::vector<Item>& items, std::string_view s, bool& insert) const;
    // Runs `change` with the handlers around it, or marks the list changed
    // during an update.
    template <typename F>
    void Modify(F&& change);

    std::vector<Item> items_;
    bool caseSensitive_ = false;
    bool sorted_ = false;
    DuplicatesPolicy duplicates_ = DuplicatesPolicy::Ignore;
    int updateCount_ = 0;
    bool changedInUpdate_ = false;
};

}  // namespace base
