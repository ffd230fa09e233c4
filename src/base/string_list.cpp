#include "base/string_list.h"

#include <algorithm>
#include <utility>

#include "base/exception.h"

namespace base {

namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

}  // namespace

template <typename F>
void TStringList::Modify(F&& change) {
    if (updateCount_ > 0) {
        changedInUpdate_ = true;
        change();
        return;
    }
    if (OnChanging) {
        OnChanging(*this);
    }
    change();
    if (OnChange) {
        OnChange(*this);
    }
}

TStringList::TStringList(const TStringList& other)
    : items_(other.items_),
      caseSensitive_(other.caseSensitive_),
      sorted_(other.sorted_),
      duplicates_(other.duplicates_) {}

TStringList::TStringList(TStringList&& other) noexcept
    : items_(std::move(other.items_)),
      caseSensitive_(other.caseSensitive_),
      sorted_(other.sorted_),
      duplicates_(other.duplicates_) {
    other.items_.clear();
}

TStringList& TStringList::operator=(const TStringList& other) {
    Assign(other);
    return *this;
}

TStringList& TStringList::operator=(TStringList&& other) {
    if (this != &other) {
        Modify([&] {
            items_ = std::move(other.items_);
            other.items_.clear();
            caseSensitive_ = other.caseSensitive_;
            sorted_ = other.sorted_;
            duplicates_ = other.duplicates_;
        });
    }
    return *this;
}

int TStringList::Compare(std::string_view a, std::string_view b) const {
    if (caseSensitive_) {
        return a.compare(b);
    }
    const size_t common = std::min(a.size(), b.size());
    bool trailByte = false;
    for (size_t i = 0; i < common; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (!trailByte) {
            ca = FoldAscii(ca);
            cb = FoldAscii(cb);
        }
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        // Equal bytes, so both strings agree on where characters begin.
        trailByte = !trailByte && IsGbkLeadByte(ca);
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
}

void TStringList::CheckNotSorted() const {
    if (sorted_) {
        throw EListError("Operation not allowed on sorted list");
    }
}

size_t TStringList::LowerBound(const std::vector<Item>& items, std::string_view s) const {
    auto it = std::lower_bound(
        items.begin(), items.end(), s,
        [this](const Item& item, std::string_view key) { return Compare(item.str, key) < 0; });
    return static_cast<size_t>(it - items.begin());
}

size_t TStringList::UpperBound(const std::vector<Item>& items, std::string_view s) const {
    auto it = std::upper_bound(
        items.begin(), items.end(), s,
        [this](std::string_view key, const Item& item) { return Compare(key, item.str) < 0; });
    return static_cast<size_t>(it - items.begin());
}

size_t TStringList::Place(const std::vector<Item>& items, std::string_view s, bool& insert) const {
    insert = true;
    if (!sorted_) {
        return items.size();
    }
    const size_t lower = LowerBound(items, s);
    if (lower == items.size() || Compare(items[lower].str, s) != 0) {
        return lower;
    }
    switch (duplicates_) {
        case DuplicatesPolicy::Ignore:
            insert = false;
            return lower;
        case DuplicatesPolicy::Error:
            throw EListError("String list does not allow duplicates");
        case DuplicatesPolicy::Accept:
            break;
    }
    return UpperBound(items, s);
}

const std::string& TStringList::Get(int index) const {
    CheckIndex(index);
    return items_[index].str;
}

void* TStringList::Objects(int index) const {
    CheckIndex(index);
    return items_[index].object;
}

void TStringList::Put(int index, std::string s) {
    CheckNotSorted();
    CheckIndex(index);
    Modify([&] { items_[index].str = std::move(s); });
}

void TStringList::PutObject(int index, void* object) {
    CheckIndex(index);
    Modify([&] { items_[index].object = object; });
}

int TStringList::AddObject(std::string s, void* object) {
    bool insert = false;
    const size_t index = Place(items_, s, insert);
    if (insert) {
        Modify([&] { items_.insert(items_.begin() + index, Item{std::move(s), object}); });
    }
    return static_cast<int>(index);
}

void TStringList::InsertObject(int index, std::string s, void* object) {
    CheckNotSorted();
    if (index != Count()) {  // inserting at the end is allowed
        CheckIndex(index);
    }
    Modify([&] { items_.insert(items_.begin() + index, Item{std::move(s), object}); });
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Modify([&] { items_.erase(items_.begin() + index); });
}

void TStringList::Clear() {
    if (!items_.empty()) {
        Modify([&] { items_.clear(); });
    }
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    CheckNotSorted();
    Modify([&] { std::swap(items_[index1], items_[index2]); });
}

int TStringList::IndexOf(std::string_view s) const {
    int index = 0;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(std::string_view s, int& index) const {
    if (sorted_) {
        const size_t lower = LowerBound(items_, s);
        index = static_cast<int>(lower);
        return lower < items_.size() && Compare(items_[lower].str, s) == 0;
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        if (Compare(items_[i].str, s) == 0) {
            index = static_cast<int>(i);
            return true;
        }
    }
    index = Count();
    return false;
}

void TStringList::SetCaseSensitive(bool value) {
    if (value == caseSensitive_) {
        return;
    }
    caseSensitive_ = value;
    if (sorted_) {
        Sort();
    }
}

void TStringList::SetSorted(bool value) {
    if (value == sorted_) {
        return;
    }
    sorted_ = value;
    if (sorted_) {
        Sort();
    }
}

void TStringList::Sort() {
    if (items_.size() < 2) {
        return;
    }
    Modify([&] {
        std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
            return Compare(a.str, b.str) < 0;
        });
    });
}

std::string TStringList::Text() const {
    size_t length = 0;
    for (const Item& item : items_) {
        length += item.str.size() + 2;
    }
    std::string text;
    text.reserve(length);
    for (const Item& item : items_) {
        text += item.str;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text) {
    // Built aside so that a duplicates error leaves the list as it was.
    std::vector<Item> lines;
    auto addLine = [&](std::string_view line) {
        bool insert = false;
        const size_t index = Place(lines, line, insert);
        if (insert) {
            lines.insert(lines.begin() + index, Item{std::string(line), nullptr});
        }
    };
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        addLine(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = ++i;
    }
    if (start < text.size()) {
        addLine(text.substr(start));
    }
    Modify([&] { items_.swap(lines); });
}

std::string TStringList::Names(int index) const {
    const std::string& s = Get(index);
    const size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& s = Get(index);
    const size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        const std::string_view s = items_[i].str;
        const size_t eq = s.find('=');
        if (eq != std::string_view::npos && Compare(s.substr(0, eq), name) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string TStringList::Values(std::string_view name) const {
    const int index = IndexOfName(name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
    const int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0) {
            Delete(index);
        }
        return;
    }
    std::string entry;
    entry.reserve(name.size() + 1 + value.size());
    entry.append(name).append(1, '=').append(value);
    if (index < 0) {
        Add(std::move(entry));
    } else if (!sorted_) {
        Modify([&] { items_[index].str = std::move(entry); });
    } else {
        // The new value may sort elsewhere: take the entry out and add it back
        // with its object, as one change.
        std::vector<Item> items = items_;
        void* object = items[index].object;
        items.erase(items.begin() + index);
        bool insert = false;
        const size_t at = Place(items, entry, insert);
        if (insert) {
            items.insert(items.begin() + at, Item{std::move(entry), object});
        }
        Modify([&] { items_.swap(items); });
    }
}

void TStringList::Assign(const TStringList& other) {
    if (this == &other) {
        return;
    }
    Modify([&] {
        items_ = other.items_;
        caseSensitive_ = other.caseSensitive_;
        sorted_ = other.sorted_;
        duplicates_ = other.duplicates_;
    });
}

void TStringList::AddStrings(const TStringList& other) {
    // Built aside: a duplicates error leaves the list as it was, and the whole
    // addition is one change. A copy also makes adding a list to itself safe.
    std::vector<Item> items = items_;
    const std::vector<Item> added = other.items_;
    bool changed = false;
    for (const Item& item : added) {
        bool insert = false;
        const size_t at = Place(items, item.str, insert);
        if (insert) {
            items.insert(items.begin() + at, item);
            changed = true;
        }
    }
    if (changed) {
        Modify([&] { items_.swap(items); });
    }
}

void TStringList::EndUpdate() {
    if (updateCount_ == 0) {
        throw EListError("EndUpdate without BeginUpdate");
    }
    if (--updateCount_ == 0 && changedInUpdate_) {
        changedInUpdate_ = false;
        if (OnChange) {
            OnChange(*this);
        }
    }
}

}  // namespace base
