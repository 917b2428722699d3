#pragma once

class CKDataReader;
class CKPluginInfo;

// The plug-in of the TIFF reader: one component.

// Its plug-in record for index 0; null for any other index.
CKPluginInfo* CKGetTiffPluginInfo(int index);
// A new TiffReader for index 0 (release it with Release); null otherwise.
CKDataReader* CKGetTiffReader(int index);
