#include "framework/menus.h"

#include <algorithm>

#include "framework/names.h"

namespace framework {

namespace {

// Virtual-key codes with the platform's numbers.
constexpr uint16_t kVkBack = 0x08;
constexpr uint16_t kVkTab = 0x09;
constexpr uint16_t kVkReturn = 0x0D;
constexpr uint16_t kVkEscape = 0x1B;
constexpr uint16_t kVkSpace = 0x20;
constexpr uint16_t kVkPrior = 0x21;
constexpr uint16_t kVkNext = 0x22;
constexpr uint16_t kVkEnd = 0x23;
constexpr uint16_t kVkHome = 0x24;
constexpr uint16_t kVkLeft = 0x25;
constexpr uint16_t kVkUp = 0x26;
constexpr uint16_t kVkRight = 0x27;
constexpr uint16_t kVkDown = 0x28;
constexpr uint16_t kVkInsert = 0x2D;
constexpr uint16_t kVkDelete = 0x2E;
constexpr uint16_t kVk0 = 0x30;
constexpr uint16_t kVkA = 0x41;
constexpr uint16_t kVkNumpad0 = 0x60;
constexpr uint16_t kVkMultiply = 0x6A;
constexpr uint16_t kVkAdd = 0x6B;
constexpr uint16_t kVkSubtract = 0x6D;
constexpr uint16_t kVkDecimal = 0x6E;
constexpr uint16_t kVkDivide = 0x6F;
constexpr uint16_t kVkF1 = 0x70;
constexpr int kFunctionKeys = 24;

struct TOtherKey {
    uint16_t key;
    const char* name;
};

// The keys with a name that is not a letter, a digit, a function key or a
// numeric-pad digit.
constexpr TOtherKey kOtherKeys[] = {
    {kVkBack, "BkSp"},   {kVkTab, "Tab"},        {kVkReturn, "Enter"},  {kVkEscape, "Esc"},
    {kVkSpace, "Space"}, {kVkPrior, "PgUp"},     {kVkNext, "PgDn"},     {kVkEnd, "End"},
    {kVkHome, "Home"},   {kVkLeft, "Left"},      {kVkUp, "Up"},         {kVkRight, "Right"},
    {kVkDown, "Down"},   {kVkInsert, "Ins"},     {kVkDelete, "Del"},    {kVkMultiply, "Num *"},
    {kVkAdd, "Num +"},   {kVkSubtract, "Num -"}, {kVkDecimal, "Num ."}, {kVkDivide, "Num /"},
};

// The modifier prefixes in the order texts show them.
struct TModifierName {
    TShortCut bit;
    std::string_view prefix;
};
constexpr TModifierName kModifiers[] = {
    {scShift, "Shift+"},
    {scCtrl, "Ctrl+"},
    {scAlt, "Alt+"},
};

struct TNamedKey {
    uint16_t key;
    std::string name;
};

std::string KeyName(uint16_t key) {
    if (key >= kVkA && key < kVkA + 26) {
        return std::string(1, static_cast<char>(key));
    }
    if (key >= kVk0 && key < kVk0 + 10) {
        return std::string(1, static_cast<char>(key));
    }
    if (key >= kVkF1 && key < kVkF1 + kFunctionKeys) {
        return "F" + std::to_string(key - kVkF1 + 1);
    }
    if (key >= kVkNumpad0 && key < kVkNumpad0 + 10) {
        return "Num " + std::to_string(key - kVkNumpad0);
    }
    for (const TOtherKey& k : kOtherKeys) {
        if (k.key == key) {
            return k.name;
        }
    }
    return {};
}

// Every key that has a name, with it, for the reverse lookup: built from
// KeyName so that both directions agree.
const std::vector<TNamedKey>& NamedKeys() {
    static const std::vector<TNamedKey> keys = [] {
        std::vector<TNamedKey> v;
        for (uint16_t key = 1; key <= 0xFF; ++key) {
            std::string name = KeyName(key);
            if (!name.empty()) {
                v.push_back({key, std::move(name)});
            }
        }
        return v;
    }();
    return keys;
}

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string ShortCutToText(TShortCut short_cut) {
    const std::string key = KeyName(static_cast<uint16_t>(short_cut & 0xFF));
    if (key.empty()) {
        return {};
    }
    std::string text;
    for (const TModifierName& m : kModifiers) {
        if ((short_cut & m.bit) != 0) {
            text += m.prefix;
        }
    }
    return text + key;
}

TShortCut TextToShortCut(std::string_view text) {
    TShortCut modifiers = 0;
    // The modifiers may come in any order, each once; "Num +" keeps its
    // "+" because no modifier is called "Num".
    for (bool found = true; found;) {
        found = false;
        for (const TModifierName& m : kModifiers) {
            if ((modifiers & m.bit) == 0 && text.size() > m.prefix.size() &&
                SameName(text.substr(0, m.prefix.size()), m.prefix)) {
                modifiers |= m.bit;
                text.remove_prefix(m.prefix.size());
                found = true;
            }
        }
    }
    for (const TNamedKey& k : NamedKeys()) {
        if (SameName(k.name, text)) {
            return ShortCut(k.key, modifiers);
        }
    }
    return scNone;
}

char AcceleratorOf(std::string_view caption) {
    for (size_t i = 0; i < caption.size(); ++i) {
        const auto c = static_cast<unsigned char>(caption[i]);
        if (IsLeadByte(c)) {
            ++i;  // the trail byte belongs to the character
            continue;
        }
        if (c != '&') {
            continue;
        }
        if (i + 1 >= caption.size()) {
            return 0;
        }
        const char next = caption[i + 1];
        if (next == '&') {
            ++i;  // a literal "&"
            continue;
        }
        // A double-byte character cannot be typed as one key.
        if (IsLeadByte(static_cast<unsigned char>(next))) {
            return 0;
        }
        return UpperAscii(next);
    }
    return 0;
}

bool IsAccelerator(unsigned key, std::string_view caption) {
    if (key == 0 || key > 0x7F) {
        return false;
    }
    const char accelerator = AcceleratorOf(caption);
    return accelerator != 0 && accelerator == UpperAscii(static_cast<char>(key));
}

std::string StripAccelerator(std::string_view caption) {
    std::string text;
    text.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < caption.size()) {
            text += c;
            text += caption[++i];
        } else if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                text += '&';
                ++i;
            }
        } else {
            text += c;
        }
    }
    return text;
}

// --- TMenuItem -------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    if (parent_ != nullptr) {
        parent_->Remove(this);
    }
    Clear();
}

void TMenuItem::Click() {
    if (!enabled_ || !OnClick) {
        return;
    }
    // The handler may free this item: run a copy, and touch nothing after.
    const TMenuNotifyEvent handler = OnClick;
    handler(this);
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) {
        throw EComponentError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return items_[static_cast<size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) {
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (item == nullptr) {
        throw EComponentError("Menu item is null");
    }
    for (const TMenuItem* p = this; p != nullptr; p = p->parent_) {
        if (p == item) {
            throw EComponentError("Menu inserted twice");
        }
    }
    if (index < 0 || index > Count()) {
        throw EComponentError("List index out of bounds (" + std::to_string(index) + ")");
    }
    // Moving an item within this list: it goes before the item that is at
    // `index` now, which moves up by one when the item leaves from above it.
    if (item->parent_ == this && IndexOf(item) < index) {
        --index;
    }
    if (item->parent_ != nullptr) {
        item->parent_->Remove(item);
    }
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) {
        return;
    }
    items_.erase(it);
    item->parent_ = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(std::string_view name) const {
    if (name.empty()) {
        return nullptr;
    }
    for (TMenuItem* item : items_) {
        if (SameName(item->Name(), name)) {
            return item;
        }
    }
    return nullptr;
}

void TMenuItem::Clear() {
    // Each item is out of the list before it is freed, so its destructor
    // finds no parent and whatever it frees cannot reach this list.
    while (!items_.empty()) {
        TMenuItem* item = items_.back();
        items_.pop_back();
        item->parent_ = nullptr;
        delete item;
    }
}

// --- TPopupMenu ------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) {}

TPopupMenu::~TPopupMenu() {
    delete items_;
}

void TPopupMenu::Popup(int /*x*/, int /*y*/) {
    if (OnPopup) {
        const TMenuNotifyEvent handler = OnPopup;
        handler(this);
    }
}

}  // namespace framework
