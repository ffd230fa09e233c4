#pragma once

// Turns the names of the COFF symbol table into the class and procedure that
// a crash report shows: decoration removed, C++ names demangled and cut down
// to their scope and last component, without parameter lists, template
// arguments ("TList<>") or return types; lambdas become "<lambda#N>".
// The results never contain ".", which separates class and procedure in the
// debug data.

#include <string>
#include <string_view>
#include <vector>

namespace cldgen {

struct TSymbolName {
    std::string class_name;  // the C++ scope, "framework::TApplication"; may be empty
    std::string procedure;   // the last component, "HandleException"
};

// `decorated`: the symbol comes from a 32-bit x86 image, whose C names carry
// a leading "_" and stdcall names a trailing "@N".
TSymbolName ParseSymbolName(std::string_view symbol, bool decorated);

// The scope components of a demangled C++ name, simplified as above:
// "void ns::A<int>::f(int) const" -> {"ns", "A<>", "f"}. Empty when the text
// cannot be split.
std::vector<std::string> SplitDemangled(std::string_view demangled);

}  // namespace cldgen
