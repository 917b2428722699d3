#pragma once

class CKDataReader;
class CKPluginInfo;

// The plug-in of the PNG reader: one component.

// Its plug-in record for index 0; null for any other index.
CKPluginInfo* CKGetPngPluginInfo(int index);
// A new PngReader for index 0 (release it with Release); null otherwise.
CKDataReader* CKGetPngReader(int index);
