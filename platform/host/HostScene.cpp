#include "platform/host/HostScene.h"

#include <algorithm>
#include <dirent.h>
#include <unistd.h>

#include "platform/host/Animatable.h"
#include "platform/host/Hold.h"
#include "platform/host/INode.h"

HostScene::HostScene()
{
    m_OwnedNodes.push_back(std::make_unique<INode>(*this, "Scene Root", nullptr));
    m_Root = m_OwnedNodes.back().get();
}

HostScene::~HostScene()
{
    // Records of an open hold may point into this scene.
    if (theHold.SuperLevel() > 0)
        theHold.Reset();
    for (const std::string& folder : m_TemporaryFolders) {
        if (DIR* dir = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    unlink((folder + "/" + name).c_str());
            }
            closedir(dir);
        }
        rmdir(folder.c_str());
    }
}

INode* HostScene::AddNode(const std::string& name, INode* parent)
{
    m_OwnedNodes.push_back(std::make_unique<INode>(*this, name, parent ? parent : m_Root));
    m_Nodes.push_back(m_OwnedNodes.back().get());
    RememberNode(m_Nodes.back());
    return m_Nodes.back();
}

INode* HostScene::AddDetachedNode(const std::string& name)
{
    m_OwnedNodes.push_back(std::make_unique<INode>(*this, name, nullptr, true));
    m_Nodes.push_back(m_OwnedNodes.back().get());
    RememberNode(m_Nodes.back());
    return m_Nodes.back();
}

void HostScene::RememberItem(Animatable* item)
{
    if (theHold.Holding())
        theHold.Put([this, item] {
            const auto it = std::find_if(m_Items.begin(), m_Items.end(),
                                         [item](const std::unique_ptr<Animatable>& a) { return a.get() == item; });
            if (it != m_Items.end())
                m_Items.erase(it);
        });
}

void HostScene::RememberNode(INode* node)
{
    if (theHold.Holding())
        theHold.Put([this, node] { DropNode(node); });
}

void HostScene::DropNode(INode* node)
{
    node->DetachForDrop();
    m_Nodes.erase(std::find(m_Nodes.begin(), m_Nodes.end(), node));
    const auto it = std::find_if(m_OwnedNodes.begin(), m_OwnedNodes.end(),
                                 [node](const std::unique_ptr<INode>& n) { return n.get() == node; });
    if (it != m_OwnedNodes.end())
        m_OwnedNodes.erase(it);
}
