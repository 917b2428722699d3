#include <cmath>
#include <strings.h>

#include "core/context/CKContext.h"
#include "core/context/CKError.h"
#include "core/context/CKPathManager.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/object/CKSceneObject.h"
#include "core/scene/CKGroup.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/driver/PluginRegistration.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/GeFileLog.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/NodeWalk.h"
#include "exporter/shell/PluginShell.h"
#include "exporter/types/ExporterParameterTypes.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"
#include "system/io/CKPathSplitter.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"

namespace {

// Every flag of a save: the writer decides what the file holds from the
// list and the extension.
constexpr CKDWORD kAllSaveFlags = 0xFFFFFFFF;
// Whole-file compression.
constexpr int kCompressedFile = 8;

DWORD NoProgressWork(void*)
{
    return 0;
}

// The context every export shares, made at the first one (with the host's
// bitmap folders, the starting flags and the exporter's parameter types): 0
// or the creation's error.
CKERROR OpenSharedContext()
{
    ExportDriverState& state = GetExportDriverState();
    if (state.context)
        return CKErr::Ok;
    // The export renders nothing: its context has no window.
    CKContext* context = nullptr;
    CKERROR error = CKCreateContext(&context, nullptr, nullptr);
    if (error != CKErr::Ok || !context)
        return error != CKErr::Ok ? error : CKErr::OutOfMemory;
    context->GetVariableManager()->SetStringValue("Globals/StartingFlags", "Disable Sound,Disable Input");
    for (int i = 0; i < TheManager->GetMapDirCount(); ++i)
        if (const char* folder = TheManager->GetMapDir(i))
            context->GetPathManager()->AddPath(0, folder);
    RegisterExporterParameterTypes(context);
    state.context = context;
    return CKErr::Ok;
}

void ExportNamedSelections(Max2Qdx& exporter)
{
    Interface* ip = exporter.maxInterface;
    ExportBuilder* builder = exporter.builder;
    for (int i = 0; i < ip->GetNumNamedSelSets(); ++i) {
        auto* group = static_cast<CKGroup*>(exporter.context->CreateObject(CKCID_GROUP, ip->GetNamedSelSetName(i)));
        if (!group)
            continue;
        for (int j = 0; j < ip->GetNamedSelSetItemCount(i); ++j) {
            auto key = (ExportKey) ip->GetNamedSelSetItem(i, j);
            CKBeObject* found = builder->FindEntity(key);
            if (!found)
                found = builder->FindLight(key);
            if (!found)
                found = builder->FindCamera(key);
            if (found)
                group->AddObject(found);
        }
        if (group->GetObjectCount() > 0)
            exporter.savedObjects->InsertFrontObject(group);
    }
}

// Every rotation key record holds its quaternion right after its time.
QxQuaternion& RotationOf(CKKey* key)
{
    return static_cast<CKLinearKey<QxQuaternion>*>(key)->Value;
}

void RunPostPasses(Max2Qdx& exporter)
{
    ExportBuilder* builder = exporter.builder;
    if (exporter.unitScale != 1.0f)
        builder->RescaleScene(exporter.unitScale);
    if (exporter.usePower2)
        builder->ResizeTexturesToPowerOfTwo(exporter.resizeMethod, exporter.force1x1Ratio == 1);
    if (exporter.DASITexture)
        builder->DASITexturesGlobal();
    if (exporter.DASIMaterial)
        builder->DASIMaterialsGlobal();
    if (exporter.DASIMesh)
        builder->DASIMeshesGlobal();
    if (exporter.DASIAnimation)
        builder->DASIAnimationsGlobal();
    if (exporter.LOD)
        builder->FindNamedLODGlobal("LOD", 1);
    if (exporter.ReadChannels)
        builder->ReadChannels(exporter.ReadChannelsFilename.CStr());
    if (exporter.ignore1KeyAnimation)
        builder->RemoveOneKeyControllers(builder->animation);
    if (exporter.reduceRedondantKeys)
        builder->ReduceAnimationKeys(builder->animation, exporter.reduceKeysThreshold, 1, 2);
    if (exporter.reduceRedondantBlendShapesKeys)
        builder->ReduceBlendShapeKeys(builder->animation, exporter.reduceBlendShapesKeysThreshold, 1, 2);
    if (exporter.OnlyUsedMaterials) {
        builder->RemoveUnusedMaterials();
        builder->RemoveUnusedTextures();
    }
}

// saved (when given) gets the ids of the objects the file holds: the list
// and what the objects added to it.
CKERROR SaveFile(Max2Qdx& exporter, CKFile* file, XArray<CK_ID>* saved)
{
    if (!file)
        return CKErr::OutOfMemory;
    CKERROR error = file->StartSave(exporter.fileName.CStr(), kAllSaveFlags);
    if (error != CKErr::Ok)
        return error;
    file->SaveObjectList(exporter.savedObjects, kAllSaveFlags);
    if (saved)
        for (const CKFileObjectRecord& record : file->m_FileObjects)
            saved->PushBack(record.m_ObjectID);
    return file->EndSave();
}

} // namespace

void Max2Qdx::CollectNodes(INode* node, int* count)
{
    VisitDepthFirst(node, [&](INode* current) {
        ++*count;
        if (!GetExportDriverState().onlySelectedNodes || current->Selected() == 1) {
            Mtl* mtl = current->GetMtl();
            bool known = mtl == nullptr;
            for (int i = 0; i < sceneMaterials.Count() && !known; ++i)
                known = sceneMaterials[i] == mtl;
            if (!known)
                sceneMaterials.Append(1, &mtl, 25);
        }
        return true;
    });
}

void Max2Qdx::SetUnitScale()
{
    int type = 0;
    float scale = 1.0f;
    GetMasterUnitInfo(&type, &scale);
    static const float kMetres[] = {0.0254f, 0.3048f, 1609.344f, 0.001f, 0.01f, 1.0f, 1000.0f};
    if (type >= 0 && type < 7 && type != 5)
        scale *= kMetres[type];
    unitScale = scale;
}

void Max2Qdx::AlignAnimationOnZ()
{
    int count = context->GetObjectsCountByClassID(CKCID_KEYEDANIMATION);
    CK_ID* ids = context->GetObjectsListByClassID(CKCID_KEYEDANIMATION);
    if (count <= 0 || !ids)
        return;
    auto* keyed = static_cast<CKKeyedAnimation*>(context->GetObject(ids[0]));
    CK3dEntity* root = keyed ? keyed->GetRootEntity() : nullptr;
    CKObjectAnimation* objectAnimation = root ? keyed->GetAnimationOf(root) : nullptr;
    CKAnimController* rotation = objectAnimation ? objectAnimation->GetRotationController() : nullptr;
    if (!rotation || rotation->GetKeyCount() <= 0)
        return;
    QxMatrix m;
    RotationOf(rotation->GetKey(0)).ToMatrix(m);
    QxVector axis(m[0][2], 0.0f, m[2][2]);
    // A projected axis of zero length gives no direction: nothing to turn.
    if (axis.x == 0.0f && axis.z == 0.0f)
        return;
    axis.Normalize();
    float d = QxDotProduct(axis, QxVector(0.0f, 0.0f, 1.0f));
    d = d < -1.0f ? -1.0f : (d > 1.0f ? 1.0f : d);
    float angle = std::acos(d);
    if (std::isnan(angle))
        return;
    QxQuaternion turn;
    turn.FromRotation(QxVector(0.0f, 1.0f, 0.0f), angle - 1.5707963705062866f);
    for (int k = 0; k < rotation->GetKeyCount(); ++k) {
        QxQuaternion& key = RotationOf(rotation->GetKey(k));
        key *= turn;
        key.Normalize();
    }
}

void Max2Qdx::WrapObjectsInLevel()
{
    auto* level = static_cast<CKLevel*>(context->CreateObject(CKCID_LEVEL, nullptr));
    if (!level)
        return;
    CKScene* levelScene = level->GetLevelScene();
    context->SetCurrentLevel(level);
    CKObjectIDList* list = savedObjects;
    for (list->Reset(); !list->EndOfList();) {
        CKObject* object = list->GetCurrentObject(context);
        if (object && (CKIsChildClassOfObject(object, CKCID_SCENE) || CKIsChildClassOfObject(object, CKCID_LEVEL))) {
            list->RemoveCurrent();
            continue;
        }
        if (object) {
            level->AddObject(object);
            if (CKIsChildClassOfObject(object, CKCID_SCENEOBJECT)) {
                auto* sceneObject = static_cast<CKSceneObject*>(object);
                CKScene* other = sceneObject->GetSceneIn(0);
                if (other && other != levelScene) {
                    CKDWORD flags = other->GetObjectFlags(sceneObject);
                    if (flags)
                        levelScene->SetObjectFlags(sceneObject, flags);
                }
            }
        }
        list->Next();
    }
    // The environment was written into the builder's level, which has just
    // left the list: the new level's scene carries it into the file.
    if (asLevel)
        builder->ApplyEnvironment(levelScene);
    CKPathSplitter splitter(fileName.CStr());
    if (strcasecmp(splitter.GetExtension(), ".qdx") != 0)
        list->InsertFrontObject(level);
}

void Max2Qdx::DeleteUnusedChannelMaterials()
{
    for (int c = 1; c <= 8; ++c)
        if (!channelUsed[c - 1] || c == 1)
            if (CKMaterial* material = builder->FindMaterial((ExportKey) c))
                builder->DestroyObject(material, (ExportKey) c);
}

int Max2Qdx::ExportScene(const char* name, Interface* ip, CKBOOL onlySelected)
{
    ExportDriverState& state = GetExportDriverState();
    maxInterface = ip;
    state.onlySelectedNodes = onlySelected;
    state.lastSaveError = CKErr::Ok;
    state.lastWarnings = state.lastErrors = state.lastMissingBitmaps = 0;
    fileName = name ? name : "";
    if (!ip)
        return 1;

    // Without the library's load the engine does not run: nothing can be made.
    if (!IsExporterLoaded()) {
        MessageBox(nullptr, "CK Initialisation Problems", "Max2Qdx", MB_OK);
        return 1;
    }
    if (!state.pluginsRegistered) {
        RegisterLinkedPlugins(CKGetPluginManager());
        state.pluginsRegistered = TRUE;
    }
    if (OpenSharedContext() != CKErr::Ok) {
        MessageBox(nullptr, "CK Initialisation Problems", "Max2Qdx", MB_OK);
        return 1;
    }
    context = state.context;

    builder = new ExportBuilder(context, 1);
    builder->exporter = this;
    if (ReportToFile) {
        auto* log = new GeFileLog(ReportFilename);
        if (log->Open())
            reportLog = log;
        else
            delete log;
    }
    builder->log = reportLog;

    if (unitIsMeter) {
        SetUnitScale();
        ReportPrintf(this, 1, "Scene rescaled to 1 unit = 1 meter\r\n");
    }
    Interval range = ip->GetAnimRange();
    animStart = (float) range.Start();
    animEnd = (float) range.End();
    framesPerTick = 1.0f / (float) GetTicksPerFrame();

    progressStarted = 1;
    ip->ProgressStart(GetString(7), TRUE, &NoProgressWork, nullptr);
    nodeCount = nodeIndex = 0;
    CollectNodes(ip->GetRootNode(), &nodeCount);

    if (asLevel) {
        ReportPrintf(this, 1, "---------Exporting Environment and Atmosphere Settings----------\r\n");
        ExportEnvironment();
    }
    ReportPrintf(this, 1, "Report File : %s\r\n", ReportFilename.CStr());
    ReportPrintf(this, 1, "---------Exporting materials----------\r\n");
    ExportMaterials();
    ReportPrintf(this, 1, "\r\n");

    ReportPrintf(this, 1, "-----------Exporting objects-----------\r\n");
    INode* root = ip->GetRootNode();
    const int children = root->NumberOfChildren();
    ip->SetCancel(FALSE);
    for (int i = 0; i < children; ++i) {
        if (ip->GetCancel()) {
            ReportPrintf(this, 1, "Canceled by user at object %d\r\n", i);
            break;
        }
        if (!ExportNode(root->GetChildNode(i))) {
            // The walk stopped inside: what it had opened is closed here.
            groupStack.Clear();
            reportIndent = 0;
        }
    }
    ReportPrintf(this, 1, "\r\n");
    ReportPrintf(this, 1, "------ Exporting animated meshes ------\r\n");
    ExportAnimatedMeshes(root);

    if (forceAllUVs)
        DeleteUnusedChannelMaterials();

    if (progressStarted) {
        // The object pass counts the root in its total but never visits it:
        // the bar is filled here, where the conversions end.
        ip->ProgressUpdate(100, TRUE, nullptr);
        ip->ProgressEnd();
    }

    if (CKKeyedAnimation* keyed = builder->CreateAnimation(animationName.CStr()))
        keyed->SetLength(((float) (int) animEnd - animStart) * framesPerTick);
    if (asCharacter) {
        ReportPrintf(this, 1, "\r\n");
        ReportPrintf(this, 1, "Creating character : %s\r\n", characterName.CStr());
        builder->CreateCharacter(characterName.CStr());
    }
    context->SetGlobalImagesSaveOptions(storeOnlyTextureFileName ? 1 : 0);
    builder->splitMesh = splitMesh == 1;

    CKFile* file = context->CreateCKFile();
    savedObjects = new CKObjectIDList;
    builder->FinishObjects(savedObjects, asAnimation, asLevel);

    if (SelectionAsGroup) {
        ReportPrintf(this, 1, "\r\n");
        ReportPrintf(this, 1, "----------- Exporting Named Selections -----------\r\n");
        ExportNamedSelections(*this);
    }
    ReportPrintf(this, 1, "\r\n");
    ReportPrintf(this, 1, "----------- Evaluating Nodes Custom Attributes -----------\r\n");
    for (int i = 0; i < children && !ip->GetCancel(); ++i)
        if (!ExportObjectProperties(root->GetChildNode(i)))
            break;
    ReportPrintf(this, 1, "\r\n");
    ReportPrintf(this, 1, "------ Evaluating Instructions ------\r\n");
    for (int i = 0; i < children && !ip->GetCancel(); ++i)
        if (!ExportInstructions(root->GetChildNode(i)))
            break;

    if (context->GetObjectsCountByClassID(CKCID_BEHAVIOR) > 0)
        WrapObjectsInLevel();

    if (compressionLevel != 0) {
        context->SetFileWriteMode(kCompressedFile);
        context->SetCompressionLevel(compressionLevel);
    } else {
        context->SetFileWriteMode(0);
    }
    if ((asCharacter || asAnimation) && alignAnimOnZ)
        AlignAnimationOnZ();

    ReportPrintf(this, 1, "\n---------- Post Process ------------\r\n");
    RunPostPasses(*this);

    // The welding's scratch, as large as the largest mesh's corners, has no
    // use in the save, where the memory peaks: it is given back first (a
    // later welding would only grow it again).
    builder->cornerScratch.Free();

    XArray<CK_ID> savedIds;
    CKERROR saved = SaveFile(*this, file, state.onFileSaved ? &savedIds : nullptr);
    state.lastSaveError = saved;
    if (saved == CKErr::Ok && state.onFileSaved)
        state.onFileSaved(context, savedIds);
    ReportPrintf(this, 1, "\r\n");
    if (saved == CKErr::Ok)
        ReportPrintf(this, 1, "File saved successfully\r\n");
    else
        ReportPrintf(this, 1, "Error while saving file: %s\r\n", CKErrorToString(saved));
    state.lastWarnings = reportWarnings;
    state.lastErrors = reportErrors;
    state.lastMissingBitmaps = missingBitmaps.Size();

    if ((reportLevel != 0 && ReportToFile) || ip->AlwaysShowReport())
        ip->ShowReportDialog(GetReportText());

    // The clean-up runs whatever the report did.
    delete savedObjects;
    savedObjects = nullptr;
    context->DeleteCKFile(file);
    if (reportLog) {
        reportLog->Close();
        delete reportLog;
        reportLog = nullptr;
    }
    delete builder;
    builder = nullptr;
    context->ClearAll();
    return 1;
}
