#pragma once

#include "includes/CKTypes.h"

class CKAnimController;
class CKObjectAnimation;

// The channels of an object animation as the key reduction numbers them.
enum ReductionKind
{
    kReducePosition = 0,
    kReduceRotation = 1,
    kReduceScale = 2,
    kReduceScaleAxis = 3,
    kReduceMorph = 4,
    // The named (float) controller at a given index.
    kReduceNamed = 5
};

// Reduces the keys of one controller of the animation (kind, and for
// kReduceNamed the named controller's index), in place: the number of keys
// removed, 0 when nothing changed or there is no such controller. mode and
// scoring change nothing. A scratch object animation is made through the
// context for the work and destroyed before returning.
int ReduceChannelKeys(CKObjectAnimation* animation, float threshold, int mode, int kind, int scoring, int index);

// Makes in scratch a controller of the controller's type holding the keys
// that stay (key 0 always does): a key goes when the track without it, with
// the keys kept before it and every key after it, gives at its time a value
// within the threshold (strictly) of its own in every component (for a
// morph controller, every vertex position). *reduced gets that controller
// (null when scratch cannot make one); the result is its type code.
CKDWORD ReduceControllerKeys(CKAnimController* controller, CKAnimController** reduced, CKObjectAnimation* scratch,
                             float threshold);
