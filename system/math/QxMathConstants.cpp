#include "system/QxMathConstants.h"

void QxInitMathConstants() {}
