#include "render/animation/CKAnimController.h"

#include <new>

#include "render/animation/CKKeyedController.h"
#include "render/animation/CKMorphController.h"

CKAnimController* CKCreateAnimController(CKDWORD type)
{
    switch (type) {
    case CKANIMATION_LINEARPOSITION_CONTROL:
    case CKANIMATION_LINEARSCALE_CONTROL: return new (std::nothrow) CKLinearPositionController(type);
    case CKANIMATION_TCBPOSITION_CONTROL:
    case CKANIMATION_TCBSCALE_CONTROL: return new (std::nothrow) CKTCBPositionController(type);
    case CKANIMATION_BEZIERPOSITION_CONTROL:
    case CKANIMATION_BEZIERSCALE_CONTROL: return new (std::nothrow) CKBezierPositionController(type);
    case CKANIMATION_LINEARROTATION_CONTROL:
    case CKANIMATION_LINEARSCALEAXIS_CONTROL: return new (std::nothrow) CKLinearRotationController(type);
    case CKANIMATION_TCBROTATION_CONTROL:
    case CKANIMATION_TCBSCALEAXIS_CONTROL: return new (std::nothrow) CKTCBRotationController(type);
    case CKANIMATION_BEZIERROTATION_CONTROL:
    case CKANIMATION_BEZIERSCALEAXIS_CONTROL: return new (std::nothrow) CKBezierRotationController(type);
    case CKANIMATION_LINEARFLOAT_CONTROL: return new (std::nothrow) CKLinearFloatController(type);
    case CKANIMATION_TCBFLOAT_CONTROL: return new (std::nothrow) CKTCBFloatController(type);
    case CKANIMATION_BEZIERFLOAT_CONTROL: return new (std::nothrow) CKBezierFloatController(type);
    case CKANIMATION_MORPH_CONTROL: return new (std::nothrow) CKMorphController();
    default: return nullptr;
    }
}

CKBOOL CKIsAnimControllerType(CKDWORD type)
{
    CKAnimController* controller = CKCreateAnimController(type);
    delete controller;
    return controller != nullptr;
}
