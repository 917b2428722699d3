#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"

class CKContext;
class CKParameterManager;

// The parameter types that engine files commonly name (render settings,
// bitmap save options, network and database results, particles, physics,
// fonts, statistics), registered once on the export's context so that the
// custom-attribute and instruction passes can use them by name or GUID.

enum class ExporterTypeKind
{
    Enum,
    Flags,
    Structure,
};

// Definitions built from the engine when the row is registered.
enum class ExporterTypeText
{
    Literal,
    // "name=class id" of every class of the class registry, by name.
    RegisteredClass,
    // "name=type index" of every named, visible parameter type, by name.
    RegisteredParameter,
};

constexpr int kExporterTypeMembers = 5;

// One enumeration, flags type or structure. A structure's definition lists
// its member names; members gives their types in the same order.
struct ExporterTypeRow
{
    ExporterTypeKind kind;
    CKGUID guid;
    const char* name;
    const char* definition;
    CKGUID members[kExporterTypeMembers] = {};
    ExporterTypeText text = ExporterTypeText::Literal;
};

// One type registered through a full description.
struct ExporterPlainType
{
    const char* name;
    CKGUID guid;
    CKGUID base;
    int defaultSize;
    CKDWORD flags;
};

constexpr int kExporterTypeRowCount = 128;
constexpr int kExporterPlainTypeCount = 5;
extern const ExporterTypeRow kExporterTypeRows[kExporterTypeRowCount];
extern const ExporterPlainType kExporterPlainTypes[kExporterPlainTypeCount];

// Registers every row, then every plain type, with the context's parameter
// manager; 1. A type whose GUID is already registered keeps its first
// definition (the registration goes on with the next row).
int RegisterExporterParameterTypes(CKContext* context);
// Each returns the number of types registered and, when results is given,
// the registration's result per row (0, or -48 / -2 for a GUID already
// registered).
int RegisterExporterEnumsAndStructs(CKParameterManager* manager, CKERROR* results = nullptr);
int RegisterExporterPlainTypes(CKParameterManager* manager, CKERROR* results = nullptr);

// The definition text of a row as it would be registered now.
XString ExporterTypeDefinition(CKParameterManager* manager, const ExporterTypeRow& row);
