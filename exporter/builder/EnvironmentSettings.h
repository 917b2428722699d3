#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxColor.h"

class CKCamera;
class CKObject;

// The scene settings of a level export, given to the level's scene by the
// builder's final pass.
struct EnvironmentSettings
{
    QxColor ambientColor = QxColor(0.0f, 0.0f, 0.0f, 1.0f);
    QxColor backgroundColor = QxColor(128.0f, 128.0f, 128.0f, 1.0f);
    // The scene's background object; nothing sets it, so the scene's is cleared.
    CKObject* sceneObject = nullptr;
    QxColor fogColor = QxColor(0.0f, 0.0f, 0.0f, 1.0f);
    // 0 none, 1 exponential, 3 linear.
    CKDWORD fogMode = 0;
    float fogDensity = 1.0f;
    float fogStart = 1.0f;
    float fogEnd = 100.0f;
    CKCamera* startingCamera = nullptr;
    // Multiplies every light's colour.
    QxColor lightTint = QxColor(1.0f, 1.0f, 1.0f, 1.0f);
    // Multiplies every light's three attenuation factors.
    float lightLevel = 1.0f;
};
