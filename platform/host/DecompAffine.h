#pragma once

#include "platform/host/Matrix3.h"
#include "platform/host/Quat.h"

// The parts of an affine transform, as decomp_affine splits it: with points
// as row vectors, the axes of m are f * Inverse(U) * K * U * Q, where U and
// Q are the matrices of u and q and K scales by k, and t is m's
// translation. The stretch K along the axes U comes first, then the
// rotation q; f is -1 for a mirrored transform, else 1.
struct AffineParts
{
    Point3 t;
    Quat q;
    Quat u;
    Point3 k{1.0f, 1.0f, 1.0f};
    float f = 1.0f;
};

// The polar decomposition of m (in double precision): q the rotation
// nearest to the axes, u and k the eigenvectors (rows of U) and
// eigenvalues of the symmetric stretch that remains. A transform whose axes
// do not span space gives the identity rotations and the lengths of its
// axes as k.
void decomp_affine(const Matrix3& m, AffineParts* parts);
