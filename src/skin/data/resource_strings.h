#pragma once

// TbsResourceStrData: a named string table for the texts of skinned dialogs
// and menus (button captions, message-box captions, hints), and the character
// set their fonts use. A skin data object may reference one.

#include <string>
#include <string_view>

#include "base/string_list.h"
#include "framework/component.h"

namespace skin {

class TbsResourceStrData : public framework::TComponent {
  public:
    // Starts with the default English table and the default character set.
    explicit TbsResourceStrData(framework::TComponent* owner);

    // Lines "NAME=text".
    const base::TStringList& ResStrings() const { return strings_; }
    // Copies the lines.
    void SetResStrings(const base::TStringList& lines);

    // A platform character set (1: the default set).
    int CharSet() const { return charset_; }
    void SetCharSet(int value) { charset_ = value; }

    // The text after the first "=" of the first line whose name equals `name`
    // (ASCII letters in any case); empty for an unknown name.
    std::string Lookup(std::string_view name) const;

    // The table a new component holds.
    static base::TStringList DefaultStrings();

  private:
    base::TStringList strings_;
    int charset_ = 1;
};

}  // namespace skin
