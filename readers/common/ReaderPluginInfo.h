#pragma once

#include "includes/CKTypes.h"

class CKPluginInfo;

// A reader plug-in record: author "Keltrane", version 1, no init or exit
// function, category "Bitmap Readers".
CKPluginInfo ReaderMakePluginInfo(CKGUID guid, const char* extension, const char* description, const char* summary);
// The same in the category "Movie Readers".
CKPluginInfo ReaderMakeMoviePluginInfo(CKGUID guid, const char* extension, const char* description,
                                       const char* summary);
