#pragma once

#include <png.h>

// The libpng error and warning functions of our decoder and encoder: an
// error logs one "PNG: ..." line and jumps back to the setjmp of png;
// warnings are not failures and print nothing.
[[noreturn]] void PngErrorFunction(png_structp png, png_const_charp message);
void PngWarningFunction(png_structp png, png_const_charp message);
