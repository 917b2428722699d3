#pragma once

#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxVector.h"

// Splitting a transform into position, rotation, scale and the orientation of
// the scale (the polar decomposition of Graphics Gems IV, "Polar Matrix
// Decomposition"). Only the 3x3 part and row 3 of a matrix are read.
// In the engine's product order the 3x3 part is QxMultiplyMatrix(R, S): the
// symmetric scale S is applied first, then the rotation R, so
// QxComposeMatrixEx rebuilds the matrix from the parts.

// The quick form: position = row 3; rotation from a copy of m whose rows 0
// and 1 are normalised and whose row 2 becomes their cross product;
// scale.i = row i of m · row i of that copy (scale.z is negative for a
// mirroring matrix).
void QxDecomposeMatrix(const QxMatrix& m, QxQuaternion& rotation, QxVector& position, QxVector& scale);

// The full decomposition. Every output may be null. Returns the sign f: 1.0,
// or -1.0 when the matrix mirrors (then the parts rebuild -m's 3x3 part;
// QxComposeMatrixEx with sign f gives m back). A 3x3 part with a NaN or an
// infinity gives the identity parts (and f = 1).
float QxDecomposeMatrixEx(const QxMatrix& m, QxQuaternion* rotation, QxVector* position, QxVector* scale,
                          QxQuaternion* scaleOrientation);

// m's 3x3 part = QxMultiplyMatrix(Q, S) with Q orthogonal and S symmetric
// positive semi-definite (a rank-deficient part still gives an orthogonal Q).
// Returns the determinant of Q's last iterate (its sign is that of m's
// determinant). The iteration is bounded; non-convergence is reported through
// QxMathReportWarning. Non-finite input gives Q = S = identity and 1.
float QxPolarDecomposition(const QxMatrix& m, QxMatrix& Q, QxMatrix& S);

// S (symmetric) = U x diag(k) x Uᵀ (standard product; the columns of U are the
// eigenvectors); returns k. At most 20 Jacobi sweeps.
QxVector QxSpectralDecomposition(const QxMatrix& S, QxMatrix& U);

// The symmetry of the cube that brings the scale orientation q closest to the
// identity; k is permuted to match. q is not modified.
QxQuaternion QxSnuggle(const QxQuaternion& q, QxVector& k);
