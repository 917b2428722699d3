#include "exporter/builder/ExportBuilder.h"

// The post passes that later work fills: each does nothing yet, so the
// driver's order already stands.

int ExportBuilder::RescaleScene(float factor)
{
    (void) factor;
    return 0;
}

int ExportBuilder::DASITexturesGlobal()
{
    return 0;
}

int ExportBuilder::DASIMaterialsGlobal()
{
    return 0;
}

int ExportBuilder::DASIMeshesGlobal()
{
    return 0;
}

int ExportBuilder::DASIAnimationsGlobal()
{
    return 0;
}

int ExportBuilder::FindNamedLODGlobal(const char* suffix, int digits)
{
    (void) suffix;
    (void) digits;
    return 0;
}

int ExportBuilder::ReadChannels(const char* path)
{
    (void) path;
    return 0;
}

void ExportBuilder::RemoveUnusedMaterials() {}

void ExportBuilder::RemoveUnusedTextures() {}
