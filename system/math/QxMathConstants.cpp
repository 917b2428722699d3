#include "system/math/QxMathConstants.h"

void QxInitMathConstants() {}
