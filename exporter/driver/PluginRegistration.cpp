#include "exporter/driver/PluginRegistration.h"

#include "core/context/CKPluginManager.h"
#include "lod/LODPlugin.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "readers/avi/AVIReaderPlugin.h"
#include "readers/dds/DDSReaderPlugin.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "render/context/CKRenderEngine.h"

namespace {

// A static library of one reader.
void RegisterReader(CKPluginManager* manager, CKPluginInfo* info, CKReaderGetReaderFunction reader, const char* name)
{
    manager->RegisterPlugin(0, info, nullptr, reader);
    manager->AddStaticDll(name, 1);
}

} // namespace

void RegisterMeshesPlugin(CKPluginManager* manager)
{
    if (!manager)
        return;
    manager->RegisterPlugin(0, CKGetLodPluginInfo(0), &CKRegisterLodBehaviorDeclarations, nullptr);
    manager->RegisterPlugin(1, CKGetLodPluginInfo(1), nullptr, nullptr);
    manager->AddStaticDll("Meshes", 2);
}

void RegisterLinkedPlugins(CKPluginManager* manager)
{
    if (!manager)
        return;
    manager->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    manager->AddStaticDll("Render Engine", 1);
    RegisterImageReaderPlugin(manager);
    RegisterReader(manager, CKGetAviPluginInfo(0), &CKGetAviReader, "AVI Reader");
    RegisterReader(manager, CKGetPngPluginInfo(0), &CKGetPngReader, "PNG Reader");
    RegisterReader(manager, CKGetJpgPluginInfo(0), &CKGetJpgReader, "JPG Reader");
    RegisterReader(manager, CKGetDdsPluginInfo(0), &CKGetDdsReader, "DDS Reader");
    RegisterReader(manager, CKGetTiffPluginInfo(0), &CKGetTiffReader, "Tiff Reader");
    RegisterMeshesPlugin(manager);
}
