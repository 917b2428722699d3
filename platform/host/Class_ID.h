#pragma once

#include <cstdint>

// Stands in for the host's class identity: a super class id (the family: geometry,
// camera, light...) and a two-word class id within it.
typedef uint32_t SClass_ID;

class Class_ID
{
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(uint32_t a, uint32_t b) : m_A(a), m_B(b) {}

    constexpr uint32_t PartA() const { return m_A; }
    constexpr uint32_t PartB() const { return m_B; }
    constexpr bool operator==(const Class_ID& c) const { return m_A == c.m_A && m_B == c.m_B; }
    constexpr bool operator!=(const Class_ID& c) const { return !(*this == c); }
    constexpr bool operator<(const Class_ID& c) const { return m_A < c.m_A || (m_A == c.m_A && m_B < c.m_B); }

private:
    uint32_t m_A = 0xFFFFFFFFu;
    uint32_t m_B = 0xFFFFFFFFu;
};

// The super classes the exporter dispatches on.
constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
constexpr SClass_ID CAMERA_CLASS_ID = 0x20;
constexpr SClass_ID LIGHT_CLASS_ID = 0x30;
constexpr SClass_ID SHAPE_CLASS_ID = 0x40;
constexpr SClass_ID HELPER_CLASS_ID = 0x50;
constexpr SClass_ID MATERIAL_CLASS_ID = 0xC00;
constexpr SClass_ID ATMOSPHERIC_CLASS_ID = 0x900;
constexpr SClass_ID CTRL_MATRIX3_CLASS_ID = 0x9008;
constexpr SClass_ID CTRL_POSITION_CLASS_ID = 0x900B;
constexpr SClass_ID CTRL_ROTATION_CLASS_ID = 0x900C;
constexpr SClass_ID CTRL_SCALE_CLASS_ID = 0x900D;
