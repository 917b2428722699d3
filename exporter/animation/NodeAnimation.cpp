#include <cstdint>

#include "exporter/animation/AnimationKeys.h"
#include "exporter/animation/SampleWriter.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/options/ExportOptions.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/MaxMatrix.h"
#include "platform/host/DecompAffine.h"
#include "platform/host/INode.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/Interface.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Morpher.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxDecomposeMatrix.h"
#include "system/math/QxMatrix.h"

namespace {

// The controller of a Morpher channel's weight: value 0 of its block.
Control* ChannelWeightController(Animatable* channel)
{
    auto* block = dynamic_cast<IParamBlock*>(channel);
    return block ? block->GetController(0) : nullptr;
}

template <class Key>
void AddKey(CKAnimController* controller, const Key& key)
{
    controller->AddKey(&key);
}

// A host tangent in engine units: scaled in double precision.
QxVector Tangent(const Point3& t, double factor)
{
    const QxVector v = MaxToEngineVector(t);
    return QxVector((float) (v.x * factor), (float) (v.y * factor), (float) (v.z * factor));
}

float Tangent(float t, double factor)
{
    return (float) (t * factor);
}

int KeyCount(CKAnimController* controller)
{
    return controller ? controller->GetKeyCount() : 0;
}

const char* const kSamplingOptionNames[] = {"samplingStepForKeyFrames", "samplingStepForBlendShapes",
                                            "samplingStepForDeformables"};

} // namespace

int Max2Qdx::SamplingStep(int option)
{
    const int steps[] = {samplingStepForKeyFrames, samplingStepForBlendShapes, samplingStepForDeformables};
    const int step = steps[option];
    const int inFrames = SamplingStepInFrames(step);
    if (inFrames == step)
        return step;
    if (!(samplingStepsReported & (1u << option))) {
        samplingStepsReported |= 1u << option;
        ReportPrintf(this, 1, "Warning : %s = %d is below 1 frame: 1 frame is used\r\n", kSamplingOptionNames[option],
                     step);
    }
    return inFrames;
}

void Max2Qdx::ExportNodeAnimation(INode* node, CK3dEntity* entity)
{
    if (!node || !entity || !builder)
        return;
    Control* transform = node->GetTMController();
    Control* position = transform ? transform->GetPositionController() : nullptr;
    Control* rotation = transform ? transform->GetRotationController() : nullptr;
    Control* scale = transform ? transform->GetScaleController() : nullptr;
    const bool biped = IsBipedController(transform);
    const bool standard = transform && transform->ClassID() == kPRSControl && IsStandardController(position) &&
                          IsStandardController(rotation) && IsStandardController(scale);

    CKObjectAnimation* animation = builder->CreateObjectAnimation(entity, entity->GetName(), (ExportKey) node);
    if (!animation)
        return;
    if (standard) {
        ExportPositionKeys(position, animation);
        ExportRotationKeys(rotation, animation);
        ExportScaleKeys(scale, animation);
    } else {
        SampleNodeTransform(node, animation);
    }

    if (ExportBlendShapeAnims) {
        if (Modifier* morpher = FindModifier(node, MORPHER_CLASS_ID, nullptr, nullptr)) {
            ReportPrintf(this, 2, "\r\nSearching blend shape animations for node %s", node->GetName());
            for (int c = 1; c <= MORPHER_CHANNELS; ++c) {
                Control* weight = ChannelWeightController(morpher->SubAnim(c));
                if (!weight)
                    continue;
                const TSTR name = morpher->SubAnimName(c);
                ReportPrintf(this, 2, "\r\nExporting animation of blend shape #%u (%s) for mesh %s", (unsigned) (c - 1),
                             name.data(), node->GetName());
                if (IsStandardController(weight))
                    ExportFloatKeys(weight, animation, 0.01f, name.data());
                else
                    SampleFloatController(weight, animation, 0.01f, name.data());
            }
        }
    }

    animation->SetLength(((float) (int) animEnd - animStart) * framesPerTick);
    // A Biped moves its parts with single keys that matter: they stay, here
    // and in the one-key pass.
    const int minimum = biped ? 1 : 2;
    if (biped)
        builder->singleKeyAnimations.AddIfNotHere(animation);

    if (CKAnimController* rotations = animation->GetRotationController()) {
        if (rotations->GetKeyCount() < minimum) {
            if (ignore1KeyAnimation) {
                animation->DeleteControllerOfChannel(CKANIMATION_CONTROLLER_ROT);
                ReportPrintf(this, 3, "Rotation Controller deleted for object %s\r\n", entity->GetName());
            }
        } else if (!animation->GetScaleController()) {
            // The engine rebuilds the whole local matrix from the channels:
            // without a scale key the entity would lose its scale.
            if (CKAnimController* scales = animation->CreateController(CKANIMATION_LINEARSCALE_CONTROL)) {
                QxQuaternion q;
                QxVector p, s;
                QxDecomposeMatrix(entity->GetLocalMatrix(), q, p, s);
                AddKey(scales, CKLinearKey<QxVector>(0.0f, s));
            }
        }
    }
    struct Channel
    {
        CKAnimController* (CKObjectAnimation::*get)();
        CKDWORD code;
        const char* message;
    };
    static const Channel kPruned[] = {{&CKObjectAnimation::GetPositionController, CKANIMATION_CONTROLLER_POS,
                                       "Position Controller deleted for object %s\r\n"},
                                      {&CKObjectAnimation::GetScaleController, CKANIMATION_CONTROLLER_SCL,
                                       "Scale Controller deleted for object %s\r\n"},
                                      {&CKObjectAnimation::GetScaleAxisController, CKANIMATION_CONTROLLER_SCLAXIS,
                                       "Scale Axis Controller deleted for object %s\r\n"}};
    for (const Channel& channel : kPruned) {
        CKAnimController* controller = (animation->*channel.get)();
        if (controller && controller->GetKeyCount() < minimum && ignore1KeyAnimation) {
            animation->DeleteControllerOfChannel(channel.code);
            ReportPrintf(this, 3, channel.message, entity->GetName());
        }
    }

    CKAnimController* positions = animation->GetPositionController();
    CKAnimController* rotations = animation->GetRotationController();
    CKAnimController* scales = animation->GetScaleController();
    CKAnimController* axes = animation->GetScaleAxisController();
    if (!positions && !rotations && !scales && !axes)
        return;
    if (standard)
        ReportPrintf(this, 2, "\r\nSaving standard animation...\r\n");
    else
        ReportPrintf(this, 2, "\r\nConverting unknown animation (Sampling)...\r\n");
    ReportPrintf(this, 3, "Position: %d keys, Rotation: %d keys, Scale: %d keys\r\n", KeyCount(positions),
                 KeyCount(rotations), KeyCount(scales));
    if (KeyCount(axes) != 0)
        ReportPrintf(this, 3, "Warning : OffAxis Scale : %d keys\r\n", KeyCount(axes));
}

void Max2Qdx::SampleNodeTransform(INode* node, CKObjectAnimation* animation)
{
    if (!node || !animation || !maxInterface)
        return;
    const Interval range = maxInterface->GetAnimRange();
    const int64_t start = range.Start(), end = range.End();
    const int64_t step = (int64_t) SamplingStep(kKeyFrameSampling) * GetTicksPerFrame();
    const Quat correction = EngineRotationCorrection(animation->Get3dEntity());

    CKAnimController* positions = animation->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
    CKAnimController* rotations = animation->CreateController(CKANIMATION_LINEARROTATION_CONTROL);
    CKAnimController* scales = animation->CreateController(CKANIMATION_LINEARSCALE_CONTROL);
    CKAnimController* axes = animation->CreateController(CKANIMATION_LINEARSCALEAXIS_CONTROL);
    if (!positions || !rotations || !scales || !axes)
        return;
    const bool reduce = reduceRedondantKeys != 0;
    SampleWriter<Point3> position(reduce, &EqualPoint3);
    SampleWriter<Point3> scale(reduce, &EqualPoint3);
    SampleWriter<Quat> rotation(reduce, &EqualRotation);
    SampleWriter<Quat> axis(reduce, &EqualRotation);
    auto vectorTo = [](CKAnimController* controller) {
        return [controller](float time, const Point3& p) {
            AddKey(controller, CKLinearKey<QxVector>(time, MaxToEngineVector(p)));
        };
    };
    auto rotationTo = [&correction](CKAnimController* controller) {
        return [controller, &correction](float time, const Quat& q) {
            AddKey(controller, CKLinearKey<QxQuaternion>(time, MaxToEngineQuat(correction * q)));
        };
    };

    for (int64_t t = start; t <= end;) {
        const TimeValue at = (TimeValue) t;
        const Matrix3 local = node->GetNodeTM(at) * Inverse(node->GetParentTM(at));
        AffineParts parts;
        decomp_affine(local, &parts);
        // The mirror sign stays out of the scale: the engine keeps the
        // mirror of the entity's own matrix (set by the object pass) when it
        // rebuilds the matrix from the channels.
        const Point3 k = parts.k;
        const float time = EngineTime(at);
        position.Add(time, parts.t, vectorTo(positions));
        rotation.Add(time, parts.q, rotationTo(rotations));
        scale.Add(time, k, vectorTo(scales));
        axis.Add(time, parts.u, rotationTo(axes));
        // The end of the range is always sampled.
        if (t < end && t + step > end)
            t = end;
        else
            t += step;
    }
}

void Max2Qdx::ExportPositionKeys(Control* controller, CKObjectAnimation* animation)
{
    IKeyControl* keys = GetKeyInterface(controller);
    if (!keys || !animation)
        return;
    const Class_ID cid = controller->ClassID();
    const double factor = BezierTangentFactor();
    if (cid == kLinearPositionControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_LINEARPOSITION_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ILinPoint3Key key;
            keys->GetKey(i, &key);
            AddKey(out, CKLinearKey<QxVector>(EngineTime(key.time), MaxToEngineVector(key.val)));
        }
    } else if (cid == kBezierPositionControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_BEZIERPOSITION_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            IBezPoint3Key key;
            keys->GetKey(i, &key);
            CKDWORD flags = 0;
            ConvertTangentFlags(flags, key.flags);
            AddKey(out, CKBezierKey<QxVector>(EngineTime(key.time), MaxToEngineVector(key.val), flags,
                                              Tangent(key.intan, factor), Tangent(key.outtan, factor)));
        }
    } else if (cid == kTCBPositionControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_TCBPOSITION_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ITCBPoint3Key key;
            keys->GetKey(i, &key);
            AddKey(out, CKTCBKey<QxVector>(EngineTime(key.time), MaxToEngineVector(key.val), key.tens, key.cont,
                                           key.bias, key.easeIn, key.easeOut));
        }
    }
}

void Max2Qdx::ExportRotationKeys(Control* controller, CKObjectAnimation* animation)
{
    IKeyControl* keys = GetKeyInterface(controller);
    if (!keys || !animation)
        return;
    const Class_ID cid = controller->ClassID();
    const Quat correction = EngineRotationCorrection(animation->Get3dEntity());
    if (cid == kLinearRotationControl || cid == kBezierRotationControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_LINEARROTATION_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            // Both classes' keys hold a time, flags and a rotation.
            Quat value;
            TimeValue time = 0;
            if (cid == kLinearRotationControl) {
                ILinRotKey key;
                keys->GetKey(i, &key);
                value = key.val;
                time = key.time;
            } else {
                IBezQuatKey key;
                keys->GetKey(i, &key);
                value = key.val;
                time = key.time;
            }
            AddKey(out, CKLinearKey<QxQuaternion>(EngineTime(time), MaxToEngineQuat(correction * value)));
        }
    } else if (cid == kTCBRotationControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_TCBROTATION_CONTROL);
        // Each key turns from the one before: the values are the running
        // product of the turns.
        Quat running;
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ITCBRotKey key;
            keys->GetKey(i, &key);
            running *= TurnOfAngleAxis(key.val.angle, key.val.axis);
            AddKey(out, CKTCBKey<QxQuaternion>(EngineTime(key.time), MaxToEngineQuat(correction * running), key.tens,
                                               key.cont, key.bias, key.easeIn, key.easeOut));
        }
    }
}

void Max2Qdx::ExportScaleKeys(Control* controller, CKObjectAnimation* animation)
{
    IKeyControl* keys = GetKeyInterface(controller);
    if (!keys || !animation)
        return;
    const Class_ID cid = controller->ClassID();
    const double factor = BezierTangentFactor();
    // The scale's own axes have no engine counterpart here: they are dropped.
    if (cid == kTCBScaleControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_TCBSCALE_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ITCBScaleKey key;
            keys->GetKey(i, &key);
            AddKey(out, CKTCBKey<QxVector>(EngineTime(key.time), MaxToEngineVector(key.val.s), key.tens, key.cont,
                                           key.bias, key.easeIn, key.easeOut));
        }
    } else if (cid == kBezierScaleControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_BEZIERSCALE_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            IBezScaleKey key;
            keys->GetKey(i, &key);
            CKDWORD flags = 0;
            ConvertTangentFlags(flags, key.flags);
            AddKey(out, CKBezierKey<QxVector>(EngineTime(key.time), MaxToEngineVector(key.val.s), flags,
                                              Tangent(key.intan, factor), Tangent(key.outtan, factor)));
        }
    } else if (cid == kLinearScaleControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_LINEARSCALE_CONTROL);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ILinScaleKey key;
            keys->GetKey(i, &key);
            AddKey(out, CKLinearKey<QxVector>(EngineTime(key.time), MaxToEngineVector(key.val.s)));
        }
    }
}

void Max2Qdx::ExportFloatKeys(Control* controller, CKObjectAnimation* animation, float factor, const char* name)
{
    IKeyControl* keys = GetKeyInterface(controller);
    if (!keys || !animation)
        return;
    const Class_ID cid = controller->ClassID();
    const double tangentFactor = BezierTangentFactor();
    if (cid == kLinearFloatControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, name);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ILinFloatKey key;
            keys->GetKey(i, &key);
            AddKey(out, CKLinearKey<float>(EngineTime(key.time), key.val * factor));
        }
    } else if (cid == kBezierFloatControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_BEZIERFLOAT_CONTROL, name);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            IBezFloatKey key;
            keys->GetKey(i, &key);
            CKDWORD flags = 0;
            ConvertTangentFlags(flags, key.flags);
            AddKey(out, CKBezierKey<float>(EngineTime(key.time), key.val * factor, flags,
                                           Tangent(key.intan * factor, tangentFactor),
                                           Tangent(key.outtan * factor, tangentFactor)));
        }
    } else if (cid == kTCBFloatControl) {
        CKAnimController* out = animation->CreateController(CKANIMATION_TCBFLOAT_CONTROL, name);
        for (int i = 0; out && i < keys->GetNumKeys(); ++i) {
            ITCBFloatKey key;
            keys->GetKey(i, &key);
            // Eases are fractions of the segment, not values: not scaled.
            AddKey(out, CKTCBKey<float>(EngineTime(key.time), key.val * factor, key.tens, key.cont, key.bias,
                                        key.easeIn, key.easeOut));
        }
    }
}

void Max2Qdx::SampleFloatController(Control* controller, CKObjectAnimation* animation, float factor, const char* name)
{
    if (!controller || !animation || !maxInterface)
        return;
    CKAnimController* out = animation->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, name);
    if (!out)
        return;
    const Interval range = maxInterface->GetAnimRange();
    const int64_t step = (int64_t) SamplingStep(kBlendShapeSampling) * GetTicksPerFrame();
    SampleWriter<float> writer(reduceRedondantKeys != 0,
                               [](const float& a, const float& b) { return EqualFloat(a, b); });
    for (int64_t t = range.Start(); t <= range.End(); t += step) {
        float value = 0.0f;
        Interval valid = FOREVER;
        controller->GetValue((TimeValue) t, &value, valid, CTRL_ABSOLUTE);
        writer.Add(EngineTime((TimeValue) t), value * factor,
                   [out](float time, float v) { AddKey(out, CKLinearKey<float>(time, v)); });
    }
}
