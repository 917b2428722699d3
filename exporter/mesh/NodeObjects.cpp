#include "exporter/mesh/NodeObjects.h"

#include "platform/host/INode.h"
#include "platform/host/SplineShape.h"

SplineShape* GetSplineShapeFromNode(INode* node, TimeValue t, bool& deleteIt)
{
    deleteIt = false;
    if (!node)
        return nullptr;
    Object* object = node->EvalWorldState(t).obj;
    if (!object || object->SuperClassID() != SHAPE_CLASS_ID || !object->CanConvertToType(SPLINESHAPE_CLASS_ID))
        return nullptr;
    Object* converted = object->ConvertToType(t, SPLINESHAPE_CLASS_ID);
    if (!converted)
        return nullptr;
    // An object of another kind may claim the class id: only a real spline
    // shape is read as one.
    auto* shape = dynamic_cast<SplineShape*>(converted);
    if (!shape) {
        if (converted != object)
            converted->DeleteMe();
        return nullptr;
    }
    deleteIt = converted != object;
    return shape;
}
