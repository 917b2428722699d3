#include "exporter/animation/HostScopes.h"

#include "exporter/geometry/NodeObjects.h"
#include "platform/host/Hold.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/Physique.h"

void CancelUndoTransaction()
{
    theHold.SuperCancel();
}

UndoTransaction::UndoTransaction()
{
    theHold.SuperBegin();
}

UndoTransaction::~UndoTransaction()
{
    CancelUndoTransaction();
}

MorpherDisabler::MorpherDisabler(INode* node)
{
    if (!node)
        return;
    for (Modifier* modifier : FindModifiers(node, MORPHER_CLASS_ID))
        if (modifier->IsEnabled()) {
            m_Disabled.PushBack(modifier);
            DisableModifier(modifier);
        }
}

MorpherDisabler::~MorpherDisabler()
{
    for (Modifier* modifier : m_Disabled)
        EnableModifier(modifier);
}

void ConvertedObject::Reset(Object* object, bool deleteIt)
{
    Release();
    m_Object = object;
    m_Delete = deleteIt;
}

void ConvertedObject::Release()
{
    if (m_Object && m_Delete)
        m_Object->DeleteMe();
    m_Object = nullptr;
    m_Delete = false;
}

PhysiqueAccess::PhysiqueAccess(Modifier* physique, INode* node) : m_Modifier(physique)
{
    if (!physique)
        return;
    m_Export = static_cast<IPhysiqueExport*>(physique->GetInterface(I_PHYEXPORT));
    m_Context = m_Export ? m_Export->GetContextInterface(node) : nullptr;
}

PhysiqueAccess::~PhysiqueAccess()
{
    if (m_Context)
        m_Export->ReleaseContextInterface(m_Context);
    if (m_Export)
        m_Modifier->ReleaseInterface(I_PHYEXPORT, m_Export);
}

PhysiqueVertexAccess::PhysiqueVertexAccess(IPhyContextExport* context, int vertex) : m_Context(context)
{
    m_Vertex = context ? context->GetVertexInterface(vertex) : nullptr;
}

PhysiqueVertexAccess::~PhysiqueVertexAccess()
{
    if (m_Vertex)
        m_Context->ReleaseVertexInterface(m_Vertex);
}
