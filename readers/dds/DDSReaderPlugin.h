#pragma once

class CKDataReader;
class CKPluginInfo;

// The plug-in of the DDS reader: one component.

// Its plug-in record for index 0; null for any other index.
CKPluginInfo* CKGetDdsPluginInfo(int index);
// A new DDSReader for index 0 (release it with Release); null otherwise.
CKDataReader* CKGetDdsReader(int index);
