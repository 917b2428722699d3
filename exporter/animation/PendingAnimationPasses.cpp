#include "exporter/animation/AnimationPostPasses.h"
#include "exporter/options/Max2Qdx.h"

// The animation passes that later work fills: each does nothing yet, so the
// driver's order already stands.

void Max2Qdx::ExportNodeAnimation(INode* node, CK3dEntity* entity)
{
    (void) node;
    (void) entity;
}

void Max2Qdx::ExportAnimatedMeshes(INode* node)
{
    (void) node;
}

int RemoveOneKeyControllers(CKKeyedAnimation* animation)
{
    (void) animation;
    return 0;
}

int ReduceAnimationKeys(CKKeyedAnimation* animation, float threshold, int mode, int scoring)
{
    (void) animation;
    (void) threshold;
    (void) mode;
    (void) scoring;
    return 0;
}

int ReduceBlendShapeKeys(CKKeyedAnimation* animation, float threshold, int mode, int scoring)
{
    (void) animation;
    (void) threshold;
    (void) mode;
    (void) scoring;
    return 0;
}
