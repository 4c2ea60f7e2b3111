// The one test of UTF-8 the program uses: for annotation texts, for file
// names shown or written to JSON, and for the window's names.
#pragma once

#include <cstddef>

// Length (1 to 4) of the well-formed UTF-8 sequence at P, with Left bytes
// left, or 0 when the bytes there are not UTF-8: overlong forms, surrogates
// and code points beyond U+10FFFF are refused, as the standard does.
std::size_t Utf8SequenceLength(const unsigned char* P, std::size_t Left);
