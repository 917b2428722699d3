#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// The libjpeg error manager of our decoder and encoder: an error logs
// libjpeg's message as one "JPEG: ..." line and jumps back to jump (set it
// with setjmp before any libjpeg call); warnings (corrupt or truncated data
// that libjpeg works around) are not failures and print nothing.
struct JpegErrorManager
{
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Fills error with libjpeg's defaults and our two hooks; the result goes in
// the codec's err field.
jpeg_error_mgr* JpegSetUpErrorManager(JpegErrorManager& error);

// Jumps back to the setjmp of the codec's error manager (for our own
// refusals inside libjpeg callbacks).
[[noreturn]] void JpegJumpBack(j_common_ptr cinfo);
