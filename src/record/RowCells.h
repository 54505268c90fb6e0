#pragma once
#include <array>
#include <string>
#include <string_view>

// The cells of a stored row, read straight from its body's JSON text without
// building a document: an export of ten million rows reads every body once,
// and a cell without escapes is handed on as the bytes it is stored as.
//
// It takes only what it understands completely: one object as the recorder
// writes it (compact, no whitespace between tokens) whose values are strings
// of valid UTF-8, plain numbers, true, false, null, arrays and objects. On
// anything else (whitespace, an exponent, a lone surrogate, a raw control
// character, bytes that are not UTF-8, a second "cells", text after the
// object) it answers false, and the caller reads the body with a full JSON
// parser, which then decides what the cells are. Where it answers true, the
// cells are what that parser would give: the first eight entries of the
// "cells" array, a cell that is not a string (or missing) empty.
namespace rowcells {

using Cells = std::array<std::string_view, 8>;

// `cells` views `body`, or `scratch` for a string with escapes: both must
// stay as they are while the cells are used.
bool scan(std::string_view body, Cells &cells, std::string &scratch);

} // namespace rowcells
