#pragma once

class CKDataReader;
class CKPluginInfo;

// The plug-in of the AVI movie reader: one component.

// Its plug-in record for index 0 (made on the first call); null for any
// other index.
CKPluginInfo* CKGetAviPluginInfo(int index);
// A new AVIReader for index 0 (release it with Release); null otherwise.
CKDataReader* CKGetAviReader(int index);
