#pragma once

#include "core/context/CKBaseManager.h"
#include "core/context/CKDefines.h"
#include "system/math/QxColor.h"

class CKContext;

// The grid manager (GRID_MANAGER_GUID) belongs to a plug-in outside the
// engine; a context may have none. Grids and their layers ask it what a
// layer type (a non-zero int) is called, how it is drawn and what its values
// mean.
class CKGridManager : public CKBaseManager
{
public:
    using CKBaseManager::CKBaseManager;

    // 0 when no type has that name.
    virtual int GetTypeFromName(const char* name) = 0;
    // Null when the type is not defined.
    virtual const char* GetTypeName(int type) = 0;
    // The type of that name, defined when new.
    virtual int RegisterType(const char* name) = 0;
    // The parameter type of the values of a layer type.
    virtual CKGUID GetAssociatedParam(int type) = 0;
    virtual void SetAssociatedParam(int type, CKGUID guid) = 0;
    virtual QxColor GetAssociatedColor(int type) = 0;
    virtual void SetAssociatedColor(int type, const QxColor& color) = 0;
    // The attribute category whose attributes classify what grids concern.
    virtual int GetClassificationCategory() = 0;
    // A layer of that type is being saved: a type seen for the first time
    // in the file gets the next number of the manager's saved-types table.
    virtual void NoteSavedType(int type) = 0;
};

// The context's grid manager; null when none is registered under the GUID
// (or the manager registered there is not one).
CKGridManager* CKGetGridManager(CKContext* context);
