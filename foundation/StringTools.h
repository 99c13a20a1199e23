// Small text tools shared by every layer.
#pragma once

#include <cstdint>

#include "foundation/DynArray.h"
#include "foundation/WideString.h"

// Empties tokens first. Every delimiter ends a token, so two delimiters in a row give an empty
// (null) token; the last token is added only when it is not empty. A null text or a delimiter 0
// gives no tokens. Returns the number of tokens.
uint32_t SplitStringInto(const char16_t* text, char16_t delimiter, CDynArray<CWideString>& tokens);
// The same into a new array.
CDynArray<CWideString> SplitString(const char16_t* text, char16_t delimiter);

// Each element "%g", joined by ';'.
CWideString FormatFloatList(const CDynArray<float>& values);

// Each code unit "%04X"; empty for null.
CWideString FormatWideStringHex(const char16_t* text);
// Exactly n units "%04X"; units past the end of the text (or of a null text) as "0000".
CWideString FormatWideCharsHex(const char16_t* text, uint32_t n);
