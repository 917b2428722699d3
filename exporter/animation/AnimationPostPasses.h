#pragma once

class CKKeyedAnimation;

// The animation post passes on the exported keyed animation (null: nothing).

// Drops controllers that hold a single key: the number deleted.
int RemoveOneKeyControllers(CKKeyedAnimation* animation);
// Removes keys that interpolation gives back within the threshold: the
// number of keys removed, over the transform channels or the blend-shape
// weight controllers.
int ReduceAnimationKeys(CKKeyedAnimation* animation, float threshold, int mode, int scoring);
int ReduceBlendShapeKeys(CKKeyedAnimation* animation, float threshold, int mode, int scoring);
