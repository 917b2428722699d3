#pragma once

class CKDataReader;
class CKPluginInfo;
class CKPluginManager;

// The "Image Reader" plug-in: three components, 0 BMP, 1 TGA, 2 PCX.

// The plug-in record of a component; null for any other index.
CKPluginInfo* CKGetImageReaderPluginInfo(int index);
// A new reader of a component (release it with Release); null for any
// other index.
CKDataReader* CKGetImageReader(int index);

// Registers the three components and their static library record
// ("Image Reader", 3) with the plug-in manager; nothing for null.
void RegisterImageReaderPlugin(CKPluginManager* manager);
