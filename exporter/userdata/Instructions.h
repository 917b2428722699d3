#pragma once

#include <string>

#include "includes/XString.h"

class CKCharacter;
class CKKeyedAnimation;
class CKObject;
class ExportBuilder;
class INode;
class Max2Qdx;

// Instructions that artists write in a node's user properties, carried out
// on the node's engine object: a name that begins with "CK_", "(" and
// arguments each between double quotes, e.g. CK_SetParamOnThis("Speed", "2.5").
// Separators and the closing parenthesis are not read.
struct InstructionContext
{
    ExportBuilder* builder = nullptr;
    // Where scripts are read from, ending in "/".
    XString scriptFolder;
    CKObject* target = nullptr;
    CKCharacter* character = nullptr;
    CKKeyedAnimation* animation = nullptr;
    INode* node = nullptr;
    Max2Qdx* exporter = nullptr;
    // The text and the scan position (an offset into it).
    const char* text = nullptr;
    size_t cursor = 0;
    size_t end = 0;
    // Where each of the scanner's delimiters ("CK_", "(", the quote) is
    // known to be missing from on (past the end while unknown).
    static constexpr int kCachedNeedles = 3;
    static constexpr const char* kNeedles[kCachedNeedles] = {"CK_", "(", "\""};
    size_t absentFrom[kCachedNeedles] = {(size_t) -1, (size_t) -1, (size_t) -1};
};

// Runs every instruction of the text, in order; 0.
int RunInstructions(InstructionContext& context, const char* text);
// From the cursor: finds open (when given), then close (when given) and
// copies what lies between into out; the cursor moves past close (or to the
// end without close). 0 when found; 1, cursor unchanged, when not.
int ExtractBetween(InstructionContext& context, const char* open, std::string& out, const char* close);
// A quoted argument, with CK_EXPORTEDANIMATION, CK_EXPORTEDCHARACTER and
// CK_THIS replaced. 0 when found, 1 when not.
int ExtractArgument(InstructionContext& context, std::string& out);
// The node's engine object (entity, camera or light by its object's super
// class) runs its user-property instructions: with the option
// EnableInstructions, or when it is named "00_KeltranePreviewCamera".
void ProcessNodeInstructions(ExportBuilder* builder, INode* node, Max2Qdx* exporter);
// Whether a script name stays inside the script folder: not absolute and
// without a ".." component ("\" counts as a separator).
bool IsSafeScriptName(const std::string& name);
