#pragma once

class CKPluginManager;

// The plug-ins linked into the exporter, registered with the engine's
// plug-in manager as the first export does: the render engine, the image
// reader, the AVI, PNG, JPEG, DDS and TIFF readers, then the level-of-detail
// plug-in. Nothing for null.
void RegisterLinkedPlugins(CKPluginManager* manager);
// The level-of-detail plug-in: its building blocks with their declarations,
// and its manager, as the static library "Meshes".
void RegisterMeshesPlugin(CKPluginManager* manager);
