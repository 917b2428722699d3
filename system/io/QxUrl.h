#pragma once

#include "includes/XString.h"

// Rewrites the string in place: each '%' followed by two characters becomes
// the byte 16 x d1 + d2 (mod 256), where a character from 'a' on (after
// lower-casing) gives its code - 'a' + 10 and any other its code - '0'. A '%'
// without two characters after it, and every other character, stays.
void QxUnescapeUrl(XString& text);

// Escapes a path into a URL. A null path gives -1 and an empty result. A
// path starting with "file://" (any case), or holding none of the characters
// space \ + , ; = @ [ ] ^ { }, is returned unchanged. Otherwise the result is
// "file://" (only for a local path, one without "://") and the path with
// each '\' turned into '/' and each other character of that set into '%' and
// its two lower-case hexadecimal digits; from the first '?' on the path is
// copied unchanged. Returns 0.
int QxEscapeUrl(const char* path, XString& result);
