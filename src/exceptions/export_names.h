#pragma once

// What a module's exported functions tell about an address that has no debug
// data: the unit, class and procedure read from an export's name, and how far
// the export's code is taken to reach.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "exceptions/stack_info.h"

namespace exceptions {

// An export name as the call-stack table shows it: kExport (a plain
// procedure name, unit and class empty) or kDecoratedExport (unit, class and
// procedure taken from the name).
struct TExportName {
    TEntryKind Kind = TEntryKind::kExport;
    std::string UnitName, ClassName, ProcedureName;
};

// How an exported name is shown.
//
// A decorated name ("@" and a second character other than "$") is first
// undecorated: cut at its first "$", a final "@" dropped, the leading "@"
// dropped, the first "@@" turned into "@_", and every "@" left turned into
// ".". "@Unit@Class@Proc$qqrv" becomes "Unit.Class.Proc", "@Unit@@Proc"
// becomes "Unit._Proc". Any other name is cut at its first "@" for the next
// test only ("Unit.Proc@8" reads as "Unit.Proc").
//
// The (undecorated or cut) name, when it contains ".", is split at its dots
// (kDecoratedExport): the last part is the procedure, with three or more
// parts the one before it is the class, and the rest is the unit, with
// ".pas" appended when it is not empty. "Unit.Proc" gives "Unit.pas" and
// "Proc"; "A.B.C" gives "A.pas", "B", "C"; a longer name such as
// "Vcl.Forms.TForm.Show" keeps its dotted unit: "Vcl.Forms.pas", "TForm",
// "Show".
//
// Otherwise a name not beginning with "?" is a plain procedure (kExport):
// an undecorated name shows its undecorated form ("@Proc$qqrv" shows
// "Proc"), any other name shows itself. A procedure name beginning with "@"
// shows it as "_". Names beginning with "?" (and the empty name) are not
// shown: nullopt.
std::optional<TExportName> SplitExportName(std::string_view name);

// The estimated size in bytes of an exported procedure whose code starts at
// code[0]; `code` runs to the end of the module's code section.
//
// A procedure starting with 55 (push ebp) ends at the first return byte (C2,
// C3, CA or CB) that directly follows 5D (pop ebp) or C9 (leave); any other
// ends at its first return byte. The size counts the bytes up to and
// including that return byte, so that [start, start + size) covers the
// procedure's code: a return byte at offset n gives n + 1. When the search
// reaches the end of `code` the size is 1.
//
// `limit` is the distance from the start to the next export's start (or the
// bytes left in the section for the last one): the size never exceeds it, so
// that a procedure never swallows the next one. Two exports at one address
// give the first a limit and a size of 0: it then covers nothing and the
// address is named by the other.
uint32_t EstimateProcedureSize(std::span<const uint8_t> code, uint64_t limit);

}  // namespace exceptions
