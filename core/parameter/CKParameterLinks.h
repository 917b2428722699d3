#pragma once

#include "core/parameter/CKParameterTypeDesc.h"

class CKContext;

// What the parameter manager needs of the parameter classes: the value
// callbacks that the built-in types carry, and two walks over the parameters
// of a context. The parameter classes install them (CKSetParameterLinks)
// before the first context is made. A callback left null registers its types
// without that callback; a walk left null finds no parameter.
struct CKParameterLinks
{
    // Copies. 4-byte: the destination's 32-bit value becomes the source's
    // first word; fixed: the destination's size in bytes; generic: the
    // source's data and size; slider: a Float source sets only the first
    // float; nothing: no effect; by save and load: through a temporary chunk
    // with each side's own save/load callback.
    CK_PARAMETERCOPYFUNCTION Copy4Bytes = nullptr;
    CK_PARAMETERCOPYFUNCTION CopyFixed = nullptr;
    CK_PARAMETERCOPYFUNCTION CopyGeneric = nullptr;
    CK_PARAMETERCOPYFUNCTION CopySlider = nullptr;
    CK_PARAMETERCOPYFUNCTION CopyNothing = nullptr;
    CK_PARAMETERCOPYFUNCTION CopyBySaveLoad = nullptr;

    // Text forms, one per kind of value.
    CK_PARAMETERSTRINGFUNCTION FloatText = nullptr;
    CK_PARAMETERSTRINGFUNCTION AngleText = nullptr;
    CK_PARAMETERSTRINGFUNCTION FloatSliderText = nullptr;
    CK_PARAMETERSTRINGFUNCTION IntegerText = nullptr;
    CK_PARAMETERSTRINGFUNCTION TimeText = nullptr;
    CK_PARAMETERSTRINGFUNCTION BooleanText = nullptr;
    CK_PARAMETERSTRINGFUNCTION StringText = nullptr;
    CK_PARAMETERSTRINGFUNCTION VectorText = nullptr;
    CK_PARAMETERSTRINGFUNCTION EulerAnglesText = nullptr;
    CK_PARAMETERSTRINGFUNCTION FourFloatsText = nullptr; // Quaternion, Vector 4D
    CK_PARAMETERSTRINGFUNCTION RectangleText = nullptr;
    CK_PARAMETERSTRINGFUNCTION Vector2DText = nullptr;
    CK_PARAMETERSTRINGFUNCTION MatrixText = nullptr;
    CK_PARAMETERSTRINGFUNCTION ColorText = nullptr;
    CK_PARAMETERSTRINGFUNCTION BoxText = nullptr;
    CK_PARAMETERSTRINGFUNCTION CollectionText = nullptr;
    CK_PARAMETERSTRINGFUNCTION PercentageText = nullptr;
    CK_PARAMETERSTRINGFUNCTION MessageText = nullptr;
    CK_PARAMETERSTRINGFUNCTION AttributeText = nullptr;
    CK_PARAMETERSTRINGFUNCTION ObjectText = nullptr; // class types and "Script"
    CK_PARAMETERSTRINGFUNCTION EnumText = nullptr;
    CK_PARAMETERSTRINGFUNCTION FlagsText = nullptr;
    CK_PARAMETERSTRINGFUNCTION StructText = nullptr;

    // Values that own an object: the four dependency types, "Collection",
    // "2D Curve", "State Chunk"; and the user structures.
    CK_PARAMETERCREATEDEFAULTFUNCTION DependenciesCreate = nullptr;
    CK_PARAMETERDELETEFUNCTION DependenciesDestroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION DependenciesSaveLoad = nullptr;
    CK_PARAMETERCOPYFUNCTION DependenciesCopy = nullptr;
    CK_PARAMETERCREATEDEFAULTFUNCTION CollectionCreate = nullptr;
    CK_PARAMETERDELETEFUNCTION CollectionDestroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION CollectionSaveLoad = nullptr;
    CK_PARAMETERCOPYFUNCTION CollectionCopy = nullptr;
    CK_PARAMETERCHECKFUNCTION CollectionCheck = nullptr;
    CK_PARAMETERCREATEDEFAULTFUNCTION Curve2DCreate = nullptr;
    CK_PARAMETERDELETEFUNCTION Curve2DDestroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION Curve2DSaveLoad = nullptr;
    CK_PARAMETERCOPYFUNCTION Curve2DCopy = nullptr;
    CK_PARAMETERCREATEDEFAULTFUNCTION StateChunkCreate = nullptr;
    CK_PARAMETERDELETEFUNCTION StateChunkDestroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION StateChunkSaveLoad = nullptr;
    CK_PARAMETERCOPYFUNCTION StateChunkCopy = nullptr;
    CK_PARAMETERCREATEDEFAULTFUNCTION StructCreate = nullptr;
    CK_PARAMETERDELETEFUNCTION StructDestroy = nullptr;
    CK_PARAMETERSAVELOADFUNCTION StructSaveLoad = nullptr;
    CK_PARAMETERCOPYFUNCTION StructCopy = nullptr;

    // The rest: the identity matrix; "Pointer" values are never saved;
    // object ids of deleted objects are cleared; "Registered Parameter"
    // rebuilds its enumeration when out of date.
    CK_PARAMETERCREATEDEFAULTFUNCTION MatrixCreate = nullptr;
    CK_PARAMETERSAVELOADFUNCTION PointerSaveLoad = nullptr;
    CK_PARAMETERCHECKFUNCTION ObjectCheck = nullptr;
    CK_PARAMETERCREATEDEFAULTFUNCTION RegisteredParameterCreate = nullptr;

    // Parameters of the context (classes 2, 3, 45 and 46) whose type is the
    // removed description lose it; TRUE when any did.
    CKBOOL (*ForgetType)(CKContext* context, CKParameterTypeDesc* removed) = nullptr;
    // Input parameters whose type is oldGuid switch to newGuid with
    // CKParameterIn::SetGUID, outputs and locals with CKParameter::SetGUID.
    void (*ChangeParametersGuid)(CKContext* context, CKGUID oldGuid, CKGUID newGuid) = nullptr;
};

const CKParameterLinks& CKGetParameterLinks();
// Replaces the entries, all of them at once.
void CKSetParameterLinks(const CKParameterLinks& links);
