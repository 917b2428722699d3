#pragma once

// Stand-in for a GDI object handle: bitmaps and fonts derive from it so that
// one delete call releases either.
class PlatformGdiObject
{
public:
    virtual ~PlatformGdiObject() = default;

protected:
    PlatformGdiObject() = default;
    PlatformGdiObject(const PlatformGdiObject&) = delete;
    PlatformGdiObject& operator=(const PlatformGdiObject&) = delete;
};

// Deletes a bitmap or font (DeleteObject). False for null.
bool PlatformDeleteObject(PlatformGdiObject* object);
