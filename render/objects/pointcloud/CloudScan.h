#pragma once

#include <cstddef>

// One value converted by CloudScan: a float for %f and %g, an int for %d
// and %i.
union CloudScanValue
{
    float f;
    int i;
};

// Formatted reading of text held in memory, in the C locale whatever the
// process's: the subset of scanf that point files and their headers use.
// The format holds %f and %g (floats), %d (decimal ints), %i (ints in
// decimal, octal with a leading 0 or hexadecimal with 0x), white space,
// which skips any white space, and other characters, which must come next.
// A conversion skips white space first. Floats past the float range become
// infinities (or 0 below it); ints past the int range take the nearest
// bound; "nan" and "inf" are floats only, never ints.
//
// Reads from cursor up to end and moves cursor past what it took. Returns
// the number of values converted into values (at most maxValues), or -1 when
// the text ended before the first conversion.
int CloudScan(const char*& cursor, const char* end, const char* format, CloudScanValue* values, int maxValues);

// The end of the line that starts at begin (its line feed, or end).
const char* CloudLineEnd(const char* begin, const char* end);
// Whether the text holds only white space.
bool CloudIsBlank(const char* begin, const char* end);
