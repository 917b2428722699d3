#include <gtest/gtest.h>

#include "system/math/QxBbox.h"
#include "system/math/QxColor.h"
#include "system/math/QxCompressedVector.h"
#include "system/math/QxDecomposeMatrix.h"
#include "system/math/QxMathTables.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxQuaternion.h"
#include "system/math/QxTransformPoints.h"
#include "system/math/QxVector.h"
#include "tests/system/support/MathTestUtil.h"

// Bit patterns pinned from one build: the optimised and the sanitizer builds
// must give exactly these (no contraction into fused multiply-adds, no
// reassociation, no estimate instructions, one code path).
namespace {

using mathtest::Bits;

QxMatrix A()
{
    return QxMatrix(0.8f, 0.6f, 0.1f, 0, -0.55f, 0.75f, 0.3f, 0, 0.2f, -0.25f, 1.3f, 0, 1.5f, -2.25f, 3.125f, 1);
}

QxMatrix B()
{
    return QxMatrix(1.1f, 0.2f, -0.3f, 0, 0.4f, 0.9f, 0.7f, 0, -0.6f, 0.35f, 0.95f, 0, -4.0f, 0.5f, 2.75f, 1);
}

} // namespace

TEST(QxMathBitExact, NormalisationPinsBothPrecisions)
{
    QxVector v(1, 2, 3);
    v.Normalize();
    EXPECT_EQ(Bits(v.x), 0x3e88d677u);
    EXPECT_EQ(Bits(v.y), 0x3f08d677u);
    EXPECT_EQ(Bits(v.z), 0x3f4d41b3u);
    // The float form rounds its last component differently.
    const QxVector n = QxNormalize(QxVector(1, 2, 3));
    EXPECT_EQ(Bits(n.z), 0x3f4d41b2u);
}

TEST(QxMathBitExact, ProductsInversesAndTransforms)
{
    QxMatrix r;
    QxMultiplyMatrix(r, A(), B());
    EXPECT_EQ(Bits(r[0][0]), 0x3f35c290u);
    EXPECT_EQ(Bits(r[2][1]), 0xbeab8520u);
    EXPECT_EQ(Bits(r[3][2]), 0x40ce6666u);
    QxMatrix inverse;
    ASSERT_TRUE(QxInverseMatrix(inverse, A()));
    EXPECT_EQ(Bits(inverse[0][0]), 0x3f4e2caau);
    EXPECT_EQ(Bits(inverse[1][2]), 0xbe67b36bu);
    EXPECT_EQ(Bits(inverse[3][0]), 0x3e2338acu);
    const QxVector p(0.3f, -7.5f, 2.2f);
    QxVector o;
    QxTransformPoints(&o, A(), &p, 1, 12);
    EXPECT_EQ(Bits(o.x), 0x40c9c28fu);
    EXPECT_EQ(Bits(o.y), 0xc103eb86u);
    EXPECT_EQ(Bits(o.z), 0x4070f5c2u);
    QxBbox box;
    box.TransformFrom(QxBbox(QxVector(-1, -2, -3), QxVector(4, 5, 6)), A());
    EXPECT_EQ(Bits(box.Max.x), 0x40e00000u);
    EXPECT_EQ(Bits(box.Min.z), 0xbfbcccccu);
}

TEST(QxMathBitExact, QuaternionMatrixAndDecomposition)
{
    QxMatrix m;
    QxQuaternion(0.1f, 0.7f, -0.3f, 0.64f).ToMatrix(m);
    EXPECT_EQ(Bits(m[0][1]), 0x3f06329bu);
    EXPECT_EQ(Bits(m[1][2]), 0xbf0c581au);
    EXPECT_EQ(Bits(m[2][0]), 0xbf74d57du);
    QxQuaternion rotation, scaleOrientation;
    QxVector position, scale;
    EXPECT_EQ(QxDecomposeMatrixEx(A(), &rotation, &position, &scale, &scaleOrientation), 1.0f);
    EXPECT_EQ(Bits(rotation.x), 0xbe094e60u);
    EXPECT_EQ(Bits(rotation.w), 0x3f707be5u);
    EXPECT_EQ(Bits(scale.y), 0x3f775688u);
    EXPECT_EQ(Bits(scaleOrientation.z), 0x3e5a08fbu);
}

TEST(QxMathBitExact, TablesColoursAndCompressedDirections)
{
    EXPECT_EQ(Bits(QxGetSinTable()[1234]), 0x3ee95a38u);
    EXPECT_EQ(Bits(QxGetSinTable()[9999]), 0xbf238a55u);
    EXPECT_EQ(Bits(QxGetCosTable()[777]), 0x3f74b802u);
    EXPECT_EQ(Bits(QxGetInvSqrtTable()[3000]), 0x3fa57af5u);
    EXPECT_EQ(QxColor(0.3f, 0.6f, 0.9f, 0.45f).GetARGB(), 0x724c99e5u);
    EXPECT_EQ(QxPackColor(0.3f, 0.6f, 0.9f, 0.45f), 0x734c99e5u);
    QxCompressedVector c;
    c.Set(0.267261f, 0.534522f, -0.801784f);
    EXPECT_EQ(c.m_Elevation, 14914);
    EXPECT_EQ(c.m_Azimuth, 7354);
}
