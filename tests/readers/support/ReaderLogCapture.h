#pragma once

#include <string>
#include <vector>

// Collects the lines the readers log (source "CK2") while it lives, so that
// a test can tell which check refused a file. The log manager is made
// afresh at the start and destroyed at the end.
class ReaderLogCapture
{
public:
    ReaderLogCapture();
    ~ReaderLogCapture();
    ReaderLogCapture(const ReaderLogCapture&) = delete;
    ReaderLogCapture& operator=(const ReaderLogCapture&) = delete;

    // True when a line logged so far holds text.
    bool Saw(const std::string& text) const;
    const std::vector<std::string>& Lines() const;
};
