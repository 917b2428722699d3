#pragma once

// Clamps *value into [*minimum, *maximum]: set to the minimum when below it,
// else to the maximum when above it. The bounds are not checked against each
// other (a minimum above the maximum gives the minimum).
inline void QxClamp(int* value, const int* minimum, const int* maximum)
{
    if (*value < *minimum)
        *value = *minimum;
    else if (*value > *maximum)
        *value = *maximum;
}
