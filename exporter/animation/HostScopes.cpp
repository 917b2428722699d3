#include "exporter/animation/HostScopes.h"

#include "exporter/geometry/NodeObjects.h"
#include "platform/host/Hold.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"

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
