#include "readers/common/ReaderPluginInfo.h"

#include "core/context/CKPluginInfo.h"

CKPluginInfo ReaderMakePluginInfo(CKGUID guid, const char* extension, const char* description, const char* summary)
{
    return CKPluginInfo(guid, extension, description, "Keltrane", summary, 1, nullptr, nullptr, CKPLUGIN_BITMAP_READER);
}

CKPluginInfo ReaderMakeMoviePluginInfo(CKGUID guid, const char* extension, const char* description, const char* summary)
{
    return CKPluginInfo(guid, extension, description, "Keltrane", summary, 1, nullptr, nullptr, CKPLUGIN_MOVIE_READER);
}
