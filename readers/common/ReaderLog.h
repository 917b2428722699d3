#pragma once

// Logs one ERROR line under the "CK2" source naming what a reader refused
// or failed to do.
void ReaderLogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
