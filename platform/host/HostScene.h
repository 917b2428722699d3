#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/Color.h"
#include "platform/host/TimeValue.h"

class Animatable;
class Atmospheric;
class INode;

// A named selection set of the scene: a name and its nodes, in order.
struct NamedSelectionSet
{
    std::string name;
    std::vector<INode*> nodes;
};

// An animation a model file brought, laid out on the scene's timeline after
// the one before it.
struct AnimationTake
{
    std::string name;
    TimeValue start = 0;
    TimeValue end = 0;
};

// The scene-wide settings the host keeps beside the node tree.
struct HostSceneSettings
{
    TimeValue animStart = 0;
    TimeValue animEnd = 100 * 160;
    int ticksPerFrame = 160;
    // System unit: 0 inches, 1 feet, 2 miles, 3 millimetres, 4 centimetres,
    // 5 metres, 6 kilometres; unitScale of them make one scene unit.
    int unitType = 0;
    float unitScale = 1.0f;
    std::vector<std::string> mapDirs;
    std::string scriptsDir;
    // The folder of the scene or model file ("" for a scene built in code),
    // searched for bitmaps after the map folders.
    std::string sceneDir;
    Color ambient{0.0f, 0.0f, 0.0f};
    Color background{0.0f, 0.0f, 0.0f};
    Color lightTint{1.0f, 1.0f, 1.0f};
    float lightLevel = 1.0f;
};

// The one scene model behind the host's classes: it owns every node, object,
// material, controller, custom attribute and atmospheric effect, and the
// SDK-shaped classes (INode, Object, Mtl, Interface...) are views into it.
// Loaders fill it (HostSceneFile, HostModelImport); tests build it directly.
class HostScene
{
public:
    HostScene();
    ~HostScene();
    HostScene(const HostScene&) = delete;
    HostScene& operator=(const HostScene&) = delete;

    // The invisible root every top-level node hangs from.
    INode* GetRootNode() const { return m_Root; }

    // A new node, the last child of parent (the root when null).
    INode* AddNode(const std::string& name, INode* parent = nullptr);
    // A new node under no parent yet: it must be given one (INode::AttachTo,
    // the root included) before the scene is used. Loaders that meet
    // children before their parents make nodes so.
    INode* AddDetachedNode(const std::string& name);
    // Takes ownership of a scene item and gives it back. Nodes and items
    // made while the hold is open go again when it is cancelled.
    template <class T>
    T* Adopt(std::unique_ptr<T> item)
    {
        T* raw = item.get();
        m_Items.push_back(std::move(item));
        RememberItem(raw);
        return raw;
    }
    // A folder of files the scene made (embedded images of a model file),
    // removed with its files when the scene goes.
    void AddTemporaryFolder(const std::string& folder) { m_TemporaryFolders.push_back(folder); }
    const std::vector<std::string>& TemporaryFolders() const { return m_TemporaryFolders; }
    // What a loader mended rather than refuse the file, one line each, in
    // order (a model's normals that were not numbers, say); the scene dump
    // shows them.
    std::vector<std::string>& Warnings() { return m_Warnings; }
    const std::vector<std::string>& Warnings() const { return m_Warnings; }

    HostSceneSettings& Settings() { return m_Settings; }
    const HostSceneSettings& Settings() const { return m_Settings; }
    std::vector<NamedSelectionSet>& NamedSelectionSets() { return m_NamedSets; }
    const std::vector<NamedSelectionSet>& NamedSelectionSets() const { return m_NamedSets; }
    // The atmospheric effects, in order (null entries allowed, as the host allows them).
    std::vector<Atmospheric*>& Atmospherics() { return m_Atmospherics; }
    const std::vector<Atmospheric*>& Atmospherics() const { return m_Atmospherics; }

    // The animations of an imported model file, in its order (none for a
    // scene file: the host has one timeline).
    std::vector<AnimationTake>& Takes() { return m_Takes; }
    const std::vector<AnimationTake>& Takes() const { return m_Takes; }
    // Every scene item (objects, materials, controllers...), in creation order.
    const std::vector<std::unique_ptr<Animatable>>& Items() const { return m_Items; }
    // Every node but the root, in creation order.
    const std::vector<INode*>& Nodes() const { return m_Nodes; }

private:
    void RememberItem(Animatable* item);
    void RememberNode(INode* node);
    void DropNode(INode* node);

    std::vector<std::unique_ptr<INode>> m_OwnedNodes;
    std::vector<std::unique_ptr<Animatable>> m_Items;
    INode* m_Root = nullptr;
    std::vector<INode*> m_Nodes;
    HostSceneSettings m_Settings;
    std::vector<NamedSelectionSet> m_NamedSets;
    std::vector<Atmospheric*> m_Atmospherics;
    std::vector<AnimationTake> m_Takes;
    std::vector<std::string> m_TemporaryFolders;
    std::vector<std::string> m_Warnings;
};
