#pragma once

#include <cstdint>
#include <unordered_set>

#include "exporter/builder/EnvironmentSettings.h"
#include "exporter/geometry/MeshBuilder.h"
#include "exporter/materials/MaterialDesc.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XHashTable.h"

class CK3dEntity;
class CKAnimController;
class CK3dObject;
class CKBodyPart;
class CKCamera;
class CKCharacter;
class CKContext;
class CKCurve;
class CKCurvePoint;
class CKGroup;
class CKKeyedAnimation;
class CKLight;
class CKMaterial;
class CKMesh;
class CKObject;
class CKObjectAnimation;
class CKObjectIDList;
class CKParameter;
class CKPlace;
class CKScene;
class CKTexture;
class GeLog;
class Max2Qdx;

// Host keys: node, material and map pointers, the complement of a material
// pointer (its lightmap material) and the small numbers 1 to 8 (default
// channel materials) all share one key space. 0 is no key.
using ExportKey = uintptr_t;

// Bucket of a key as the engine's pointer tables choose it.
struct ExportKeyHash
{
    CKDWORD operator()(ExportKey key) const { return (CKDWORD) (key >> 8); }
};

// Key -> engine object; walked in insertion order.
template <class T>
using ExportTable = XHashTable<T*, ExportKey, ExportKeyHash>;

// The one place where the export creates, records, finds and destroys
// engine objects. Every object is created through the context (which owns
// it); the builder maps it from its host key and remembers the creation
// order, which is the order of the saved file.
//
// A creation whose class the context cannot make returns null, says so in
// the report at level 1, and records nothing: callers skip that node.
class ExportBuilder
{
public:
    // With createLevel, a level "Level" is made and becomes current.
    ExportBuilder(CKContext* context, CKBOOL createLevel);
    // Frees the tables and lists; the engine objects stay with the context.
    ~ExportBuilder();
    ExportBuilder(const ExportBuilder&) = delete;
    ExportBuilder& operator=(const ExportBuilder&) = delete;

    // Creation. A null key maps nothing.
    CK3dObject* CreateObject3D(const char* name, ExportKey node);
    // A frame entity (flags 2).
    CK3dEntity* CreateEntity(const char* name, ExportKey node);
    CKPlace* CreatePlace(const char* name, ExportKey node);
    // Joins the character when there is one already, and bodyParts.
    CKBodyPart* CreateBodyPart(const char* name, ExportKey node);
    CKGroup* CreateGroup(const char* name, ExportKey node);
    CKCurve* CreateCurve(const char* name, ExportKey node);
    // Appended to the curve's control points (when a curve is given).
    CKCurvePoint* CreateCurvePoint(CKCurve* curve, const char* name, ExportKey node);
    // A mesh of the patch mesh class.
    CKMesh* CreatePatchMesh(const char* name, ExportKey node);
    // The welded builder as an engine mesh named name (null when the
    // context cannot make one): vertices, faces and their materials, the
    // extra channels, normals and blend shapes. With keep, a copy of the
    // builder is kept, found again by FindMeshBuilder under the key and
    // under the mesh. A non-null key maps the mesh in meshes.
    CKMesh* CreateEngineMesh(const MeshBuilder& builder, const char* name, ExportKey key, CKBOOL keep);
    // The same, keeping the builder itself rather than a copy (FindMeshBuilder
    // gives it back); builder is left empty.
    CKMesh* CreateEngineMesh(MeshBuilder&& builder, const char* name, ExportKey key);
    // The builder kept for a node or an engine mesh; null when none.
    MeshBuilder* FindMeshBuilder(ExportKey key);
    // The engine texture of a bitmap file, made and loaded at its first use
    // (a file that cannot be read still gives a texture, without image). A
    // null file searches by name alone: the first texture of textureFiles
    // whose name is name, or a new one without image registered under
    // name. A null name is file's name part. A non-null key (the texture
    // map) maps the texture in textures.
    CKTexture* CreateTexture(const char* file, const char* name, ExportKey key);
    // A material from the description (defaults when null), registered
    // under a non-zero key.
    CKMaterial* CreateMaterial(const MaterialDesc* desc, const char* name, ExportKey key);
    // The render manager's effect of the description's name on the
    // material, its textures and parameters from the description's texts;
    // the effect's index, or -1 when there is no such effect.
    int ApplyMaterialEffect(const MaterialDesc& desc, CKMaterial* material);
    // A target light (with withTarget, its target entity name + "_Target"
    // comes first in the created objects, unmapped) or a plain light of
    // the type (1 point, 2 spot, 3 directional).
    CKLight* CreateLight(CKBOOL targeted, CKDWORD type, const char* name, ExportKey node, CKBOOL withTarget);
    CKCamera* CreateCamera(CKBOOL targeted, const char* name, ExportKey node, CKBOOL withTarget);
    // Moves the entity; joins the animation when there is one already.
    CKObjectAnimation* CreateObjectAnimation(CK3dEntity* entity, const char* name, ExportKey node);
    // Records an object animation made elsewhere as if created here.
    void AddObjectAnimation(CKObjectAnimation* objectAnimation, ExportKey node);
    // Becomes animation; takes every object animation so far, in order.
    CKKeyedAnimation* CreateAnimation(const char* name);
    // Becomes character; takes every body part so far, then the animation.
    CKCharacter* CreateCharacter(const char* name);

    // Lookups; null for an unknown key.
    CK3dEntity* FindEntity(ExportKey node) const;
    CKMaterial* FindMaterial(ExportKey key) const;
    CKLight* FindLight(ExportKey node) const;
    CKCamera* FindCamera(ExportKey node) const;

    // Forgets the object everywhere (see ForgetObject) and destroys it
    // through the context. Nothing for null. The key is the one it was
    // created under, or null.
    void DestroyObject(CKObject* object, ExportKey key);
    // Drops every record of the object: every table entry that holds it,
    // whatever its key, createdObjects, objectAnimationList, bodyParts,
    // character and animation. The object itself is left alone.
    void ForgetObject(CKObject* object);
    // Appends an object made outside the creation operations to
    // createdObjects (once), so that it is saved and can be forgotten.
    void AddCreatedObject(CKObject* object);

    // Engine services.

    // A parameter holding the object's id, typed by its class (or, without
    // an object, typed by classId and holding 0).
    CKParameter* MakeObjectParameter(CKObject* object, CK_CLASSID classId);
    CKParameter* MakeFloatParameter(float value);
    CKParameter* MakeStringParameter(const char* text);
    // Gives the behavioural object the attribute (registered on first use
    // with the parameter type named typeName, for 3D entities, in the
    // category) and sets its value from valueText. 0 when the attribute
    // does not exist and no parameter type has that name, or for an object
    // that cannot carry attributes.
    CKBOOL SetAttribute(CKObject* object, const char* attributeName, const char* valueText, const char* typeName,
                        const char* categoryName);
    // Loads the engine file and attaches its scripts to the object, in file
    // order; the other objects of the file stay in the context. 0, with
    // nothing attached, when the file does not load.
    CKBOOL AttachScripts(CKObject* object, const char* fileName);
    // Sets every local parameter of that name of the object's scripts from
    // the text. TRUE when at least one was set.
    CKBOOL SetScriptParameter(CKObject* object, const char* parameterName, const char* valueText);
    // Resizes every texture of the textures table to powers of two (method
    // as RoundToPowerOfTwo; square: both sides the larger one). Textures
    // without an image are skipped. The number of textures resized.
    int ResizeTexturesToPowerOfTwo(int method, CKBOOL square);
    // A power of two is kept; otherwise 0 gives the nearer of the two
    // around value (a tie goes up), 1 the lower, 2 the higher one; any other
    // method gives value unchanged. Results stop at 2^30.
    static int RoundToPowerOfTwo(int value, int method);

    // The final pass: drops empty controllers and animations (splits the
    // meshes first when splitMesh is set), lists the objects to save (with
    // asAnimation only the animation and its object animations) and, with
    // asLevel, puts the scene into the level. 0 for a null list, else 1.
    int FinishObjects(CKObjectIDList* savedObjects, CKBOOL asAnimation, CKBOOL asLevel);
    // Adds every scene object of the context to the current level's scene,
    // applies the light tint and level and the environment to that scene,
    // and appends the level to the list. The number of scene objects seen;
    // 0 without a current level or level scene.
    int PutObjectsInLevel(CKObjectIDList* savedObjects);
    // Cuts the meshes whose materials carry extra channels into one mesh per
    // such material. The sum of the parts made.
    int SplitMeshes();
    // Writes the environment settings into the scene (a level's scene).
    void ApplyEnvironment(CKScene* scene) const;

    // The driver's post passes, in the driver's order. Each is called only
    // when its option is set; those that later work fills do nothing yet.
    // Scene units to metres: the number of rescaling steps applied.
    int RescaleScene(float factor);
    // Identical textures, materials, meshes and animations shared: the
    // number of duplicates found.
    int DASITexturesGlobal();
    int DASIMaterialsGlobal();
    int DASIMeshesGlobal();
    int DASIAnimationsGlobal();
    // Meshes named as levels of detail of another (suffix and digits) become
    // its extra meshes: the number found.
    int FindNamedLODGlobal(const char* suffix, int digits);
    // The channel definition file: lines applied, -1 when it cannot be read.
    int ReadChannels(const char* path);
    // Materials no exported mesh uses, then textures no material uses.
    void RemoveUnusedMaterials();
    void RemoveUnusedTextures();

    // The steps of the post passes, for the passes and their tests.

    // The steps applied to one object (see RescaleScene); 0 for an object
    // of no kind that has lengths, or a null one.
    int RescaleObject(CKObject* object, float factor);
    // The material when no created mesh uses it (group or channel), else
    // null.
    CKMaterial* IsMaterialUnused(CKMaterial* material);
    // The texture when no created material uses it (any stage, or an effect
    // parameter), else null.
    CKTexture* IsTextureUnused(CKTexture* texture);
    // Base mesh (less "_Mesh") equal to the candidate less "_Mesh", the
    // suffix, its digits (a number above 0) and one "_" where they join.
    static CKBOOL IsNamedLOD(const char* suffix, int digits, const char* baseName, const char* candidateName);
    // The levels of detail of base among objects, given to the entities
    // showing base; entities left without mesh join toDestroy. The number
    // found. Only the meshes whose names could match are compared (and
    // logged).
    int FindNamedLOD(CKMesh* base, const XArray<CKObject*>& objects, const char* suffix, int digits,
                     XArray<CK_ID>& toDestroy);
    // Words of a channel-file line: blank-separated, double quotes group
    // (and are dropped), empty words dropped. words is emptied first; the
    // word count.
    static int SplitArguments(const XString& line, XClassArray<XString>& words);
    // Sharing: the per-reference passes (the number of candidates found
    // equal, relinked and, but for animations, added to done) and the
    // comparisons (TRUE when equal; else reason holds the first
    // difference).
    int DASITextures(CKTexture* reference, const XArray<CKObject*>& objects, XArray<CK_ID>& done);
    int DASIMaterials(CKMaterial* reference, const XArray<CKObject*>& objects, XArray<CK_ID>& done);
    int DASIMeshes(CKMesh* reference, const XArray<CKObject*>& objects, XArray<CK_ID>& done);
    int DASIAnimations(CKObjectAnimation* reference, const XArray<CKObject*>& objects);
    CKBOOL CompareTextures(CKTexture* t1, CKTexture* t2, XString& reason);
    CKBOOL CompareMaterials(CKMaterial* m1, CKMaterial* m2, XString& reason);
    CKBOOL CompareMeshes(CKMesh* p, CKMesh* cur, XString& reason);
    // Splits one mesh into one mesh per material with extra channels (see
    // SplitMeshes); parts receives the part meshes, the source first. The
    // part count; 0 when the mesh is left alone.
    int SplitMesh(CKMesh* mesh, XArray<CKMesh*>& parts);
    // The record kept for a base material; null when none.
    const MultiMaterialRecord* FindMultiMaterialRecord(CKMaterial* material) const;
    // Sets the mesh's channels from the record (restricted to the record
    // material's faces when others share the mesh). The mesh; null for a
    // null record or mesh, which changes nothing.
    CKMesh* ApplyMultiMaterialChannels(CKMesh* mesh, const MultiMaterialRecord* record);
    // Destroys the object (or the objects, at once) through the context
    // with the default delete dependencies, then forgets it and everything
    // that went with it.
    void DestroyWithDependencies(CKObject* object);
    void DestroyWithDependencies(const XArray<CK_ID>& ids);
    // Drops from every table and list (savedObjects included) the objects
    // that no longer live in the context.
    void ForgetDestroyedObjects();
    // The duplicates one sharing pass found: a set, and the order found.
    struct SharingDone;
    using ObjectSet = std::unordered_set<const CKObject*>;
    // The animation passes over the keyed animation's object animations
    // (exporter/animation); -1 for a null keyed animation. Controllers of at
    // most one key deleted (those of singleKeyAnimations keep a single key):
    // the number deleted.
    int RemoveOneKeyControllers(CKKeyedAnimation* keyed);
    // Keys that interpolation gives back within the threshold removed, from
    // the channel controllers or from the named (blend-shape weight)
    // controllers: the number removed. mode and scoring change nothing.
    int ReduceAnimationKeys(CKKeyedAnimation* keyed, float threshold, int mode, int scoring);
    int ReduceBlendShapeKeys(CKKeyedAnimation* keyed, float threshold, int mode, int scoring);

    GeLog* log = nullptr;
    // The list FinishObjects filled: destroyed objects leave it too.
    CKObjectIDList* savedObjects = nullptr;
    ExportTable<CK3dEntity> entities;
    ExportTable<CKMesh> meshes;
    ExportTable<CKMaterial> materials;
    ExportTable<CKTexture> textures;
    ExportTable<CKObjectAnimation> objectAnimations;
    ExportTable<CKLight> lights;
    ExportTable<CKCamera> cameras;
    ExportTable<CKGroup> groups;
    CKCharacter* character = nullptr;
    CKKeyedAnimation* animation = nullptr;
    XArray<CKObject*> createdObjects;
    EnvironmentSettings environment;
    XArray<CKObjectAnimation*> objectAnimationList;
    XArray<CKBodyPart*> bodyParts;
    // Object animations of Biped-driven nodes: their single keys matter.
    XArray<CKObjectAnimation*> singleKeyAnimations;
    CKContext* context = nullptr;
    CKDWORD creationOptions = 0;
    CKBYTE splitMesh = 0;
    // The exporter whose report hears of failed creations; may be null.
    Max2Qdx* exporter = nullptr;
    // Bitmap file (or, for a texture looked up by name alone, that name) to
    // engine texture, in creation order.
    XHashTable<CKTexture*, XString> textureFiles;
    // The materials with extra channels, in the order converted.
    XClassArray<MultiMaterialRecord> multiMaterials;
    // The corners every mesh's welding reuses.
    MeshCornerScratch cornerScratch;
    // Copies of the builders of the meshes made (CreateEngineMesh), and
    // their positions by node and by mesh.
    XArray<MeshBuilder*> meshBuilders;
    XHashTable<int, ExportKey, ExportKeyHash> meshBuilderIndices;

private:
    // CreateObject, with the failure reported; the object is recorded in
    // createdObjects and, under a non-null key, in the table.
    CKObject* Create(CK_CLASSID cid, const char* name);
    // Records a kept builder under the key (when not 0) and the mesh.
    void KeepMeshBuilder(MeshBuilder* kept, ExportKey key, CKMesh* mesh);
    template <class T>
    T* CreateMapped(CK_CLASSID cid, const char* name, ExportKey key, ExportTable<T>& table);
    // The target entity of a light or camera, recorded unmapped.
    CK3dEntity* CreateTarget(const char* name, const char* fallback);
    // Maps the object animation, joins it to the animation and the list.
    void RecordObjectAnimation(CKObjectAnimation* objectAnimation, ExportKey node);
    void CleanObjectAnimations();
    // ForgetObject, each list walked once, without touching the objects
    // (they may be gone).
    void DropRecords(const ObjectSet& gone);
    // Scales a position or morph controller's keys once per RescaleScene.
    void RescaleController(CKAnimController* controller, int morphVertices, float factor);

    // Sharing of one kind (0 textures, 1 materials, 2 meshes): the global
    // pass, and one reference against its candidates (users: the index of
    // the objects that hold each candidate).
    int RunSharingPass(int kind);
    int ShareDuplicates(int kind, CKObject* reference, const XArray<CKObject*>& candidates, SharingDone& done,
                        void* users);

    // The named levels of detail's meshes by the base names they could
    // match, and the entities holding each mesh, kept up to date by the pass.
    struct NamedLODIndex;
    int FindNamedLOD(CKMesh* base, NamedLODIndex& index, const char* suffix, int digits, XArray<CK_ID>& toDestroy);

    // ApplyMultiMaterialChannels with the map channels of a kept builder
    // (null: only map channel 1 can be named).
    CKMesh* ApplyChannels(CKMesh* mesh, const MultiMaterialRecord* record, const MeshBuilder* kept);
    // The entities showing the split mesh (partMeshes[0]) show part 0 and
    // get a child per further part (splitParts: the split's parts).
    void RelinkSplitEntities(const XArray<CKMesh*>& partMeshes, void* splitParts);
    // The part's morph keys (partKeys: taken from the animation's morph
    // controller before any part was written) written in place (the source
    // entity's) or into a new object animation of the target, added once to
    // each keyed animation holding the animation. Nothing without a morph
    // controller.
    CKObjectAnimation* SplitMorphAnimation(CKObjectAnimation* animation, CK3dEntity* target, const void* partKeys,
                                           const XArray<CKObject*>& keyed, CKBOOL inPlace);

    // The comparisons' reason line (formatted only when not quiet).
    void Reason(XString& reason, const char* format, ...) __attribute__((format(printf, 3, 4)));

    XArray<CKAnimController*> m_RescaledControllers;
    CKBOOL m_QuietCompare = FALSE;
};
