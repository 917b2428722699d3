#include "readers/png/PngErrorHandlers.h"

#include "readers/common/ReaderLog.h"

void PngErrorFunction(png_structp png, png_const_charp message)
{
    ReaderLogError("PNG: %s", message ? message : "error");
    png_longjmp(png, 1);
}

void PngWarningFunction(png_structp, png_const_charp) {}
