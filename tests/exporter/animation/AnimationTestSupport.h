#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/KeyControl.h"
#include "platform/host/Morpher.h"
#include "platform/host/Object.h"
#include "platform/host/TriObject.h"
#include "render/animation/CKAnimController.h"
#include "render/animation/CKObjectAnimation.h"
#include "tests/exporter/support/ExporterTestSupport.h"

// The object pass of an animation export over nodes built in code: the
// exporter exports animation, the report keeps every level.
class NodeAnimationTest : public SceneExportTest
{
protected:
    void SetUp() override;

    // A key track of the kind with the keys (times in frames of 160 ticks).
    KeyControl* Track(KeyControl::Track track, KeyControl::Interpolation kind, std::vector<HostKey> keys);
    // The same keys behind a class of no standard kind: only sampled.
    KeyControl* Procedural(KeyControl::Track track, KeyControl::Interpolation kind, std::vector<HostKey> keys);
    // A geometric node under the parent (the root when null) moved by a
    // position/rotation/scale controller of the three (null: constant).
    INode* PRSNode(const char* name, Control* position, Control* rotation, Control* scale, INode* parent = nullptr);
    // The object animation made for the node, null when none.
    CKObjectAnimation* AnimationOf(INode* node);
    // The key times of a controller in frames.
    static std::vector<float> Times(CKAnimController* controller);

    Object* Box();

private:
    Object* m_Box = nullptr;
};

// Nodes showing meshes, with modifier stacks over them.
class MeshAnimationTest : public NodeAnimationTest
{
protected:
    // The quad's points: (0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0).
    static std::vector<Point3> QuadPoints();
    // A quad mesh of two faces (0, 1, 2) and (0, 2, 3), one smoothing group.
    TriObject* Quad();
    // An empty modifier stack over a new quad, shown by the node.
    IDerivedObject* QuadStack(INode* node);
};

// A key at a frame (160 ticks a frame) with a vector value.
HostKey KeyAt(float frame, const Point3& value);
// A rotation key (absolute value) at a frame.
HostKey RotationAt(float frame, const Quat& value);

// A Morpher over an empty mesh whose channel c weights follow the controller
// (its block takes it); the modifier.
MorpherModifier* AddMorpher(HostScene& scene, INode* node, int channel, const char* name,
                            std::unique_ptr<Control> weight);
