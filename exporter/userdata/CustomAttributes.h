#pragma once

#include "includes/CKTypes.h"

class Animatable;
class CKMaterial;
class CKMesh;
class ExportBuilder;
class INode;
class Mtl;

// Engine render settings that artists give in the host through two
// custom-attribute blocks: "Keltrane_Mat_Props" on standard materials and
// "Keltrane_Object_Props" on objects.

// The integer value at time 0 of the parameter of that name (any letter
// case) in the first parameter block of a custom attribute of that name
// (any letter case) of the owner. Attributes are searched in order; one
// without the parameter does not end the search. False, value untouched,
// when none has it.
bool GetCustomAttributeValue(const Animatable* owner, const char* blockName, const char* parameterName, int& value);

// Attribute values to the engine's enumerations; a value out of range gives
// the default the mapping names.
int MapBlendFactor(int value);
int MapCompareFunction(int value);
int MapTextureBlend(int value);
int MapMinFilter(int value);
int MapMagFilter(int value);
int MapAddressMode(int value);

// The material block, on standard materials only.
void ApplyMaterialProperties(CKMaterial* material, Mtl* mtl);
// The channel settings of the material's block, on channel c of the mesh;
// nothing for a null mesh or material, or a material that is not standard.
void ApplyChannelProperties(CKMesh* mesh, int channel, Mtl* mtl);
// The object block of the node's base object, on the node's entity.
void ApplyObjectProperties(ExportBuilder* builder, INode* node);
