#pragma once

// Eigen decomposition of a symmetric 3x3 matrix (nine floats, row-major):
// Householder reduction to tridiagonal form, then the QL algorithm with
// implicit shifts (at most 32 iterations per eigenvalue). matrix is replaced
// by the eigenvectors, as columns, and eigenValues (may be null) receives the
// matching eigenvalues. Returns false when some eigenvalue needed more than
// 32 iterations (NaN input does that); the failure is also reported through
// QxMathReportWarning.
bool QxEigenSymmetric3(float matrix[3][3], float eigenValues[3]);
