#pragma once

#include "platform/host/Class_ID.h"

// Host classes the object pass tells apart.

// Transform controllers of biped parts: footprints, then the two kinds of
// body parts.
constexpr Class_ID kFootprintControlClass(0x3011, 0);
constexpr Class_ID kBipedSlaveControlClass(0x9154, 0);
constexpr Class_ID kBipedBodyControlClass(0x9156, 0);
// Objects: patches, the older bone class, and the parts of a character
// animation rig.
constexpr Class_ID kPatchObjectClass(0x1030, 0);
constexpr Class_ID kOldBoneClass(0x9125, 0);
constexpr Class_ID kRigPartClasses[] = {Class_ID(0x56AE72E5, 0x389B6659), Class_ID(0x73DC4833, 0x65C93CAA),
                                        Class_ID(0x2E6A0C09, 0x43D5C9C0), Class_ID(0x67A52F20, 0x2EAC1B81)};
// The standard material.
constexpr Class_ID kStandardMaterialClass(2, 0);
