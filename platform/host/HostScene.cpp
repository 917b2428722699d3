#include "platform/host/HostScene.h"

#include "platform/host/Animatable.h"
#include "platform/host/INode.h"

HostScene::HostScene()
{
    m_OwnedNodes.push_back(std::make_unique<INode>(*this, "Scene Root", nullptr));
    m_Root = m_OwnedNodes.back().get();
}

HostScene::~HostScene() = default;

INode* HostScene::AddNode(const std::string& name, INode* parent)
{
    m_OwnedNodes.push_back(std::make_unique<INode>(*this, name, parent ? parent : m_Root));
    m_Nodes.push_back(m_OwnedNodes.back().get());
    return m_Nodes.back();
}

INode* HostScene::AddDetachedNode(const std::string& name)
{
    m_OwnedNodes.push_back(std::make_unique<INode>(*this, name, nullptr, true));
    m_Nodes.push_back(m_OwnedNodes.back().get());
    return m_Nodes.back();
}
