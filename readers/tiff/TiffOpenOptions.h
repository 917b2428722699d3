#pragma once

#include <tiffio.h>

// The options every libtiff open here uses: errors logged as one line,
// warnings dropped, no single allocation above 1 GB.
class TiffOpenOptions
{
public:
    TiffOpenOptions();
    ~TiffOpenOptions();
    TiffOpenOptions(const TiffOpenOptions&) = delete;
    TiffOpenOptions& operator=(const TiffOpenOptions&) = delete;

    // Null when libtiff could not allocate them.
    TIFFOpenOptions* Get() const { return m_Options; }

private:
    TIFFOpenOptions* m_Options;
};
