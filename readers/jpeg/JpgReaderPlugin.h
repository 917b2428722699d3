#pragma once

class CKDataReader;
class CKPluginInfo;

// The plug-in of the JPEG reader: one component.

// Its plug-in record for index 0; null for any other index.
CKPluginInfo* CKGetJpgPluginInfo(int index);
// A new JpgReader for index 0 (release it with Release); null otherwise.
CKDataReader* CKGetJpgReader(int index);
