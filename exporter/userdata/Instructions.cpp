#include "exporter/userdata/Instructions.h"

#include <cstring>
#include <string_view>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/scene/NodeWalk.h"
#include "platform/host/INode.h"
#include "render/animation/CKCharacter.h"
#include "render/animation/CKKeyedAnimation.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"

namespace {

const char kQuote[] = "\"";
const char kPreviewCamera[] = "00_KeltranePreviewCamera";

enum class Instruction
{
    AttachScriptOnThis,
    AttachScriptOnCharacter,
    SetParamOnThis,
    SetParam,
    SetParamOnCharacter,
    SetAttributeOnThis,
    SetAttributeOnCharacter,
};

struct InstructionName
{
    const char* name;
    Instruction instruction;
    bool characterOnly;
};

const InstructionName kInstructions[] = {
    {"AttachScriptOnThis", Instruction::AttachScriptOnThis, false},
    {"AttachScriptOnCharacter", Instruction::AttachScriptOnCharacter, true},
    {"SetParamOnThis", Instruction::SetParamOnThis, false},
    {"SetParam", Instruction::SetParam, false},
    {"SetParamOnCharacter", Instruction::SetParamOnCharacter, true},
    {"SetAttributeOnThis", Instruction::SetAttributeOnThis, false},
    {"SetAttributeOnCharacter", Instruction::SetAttributeOnCharacter, true},
};

// A plain quoted argument.
bool Plain(InstructionContext& c, std::string& out)
{
    return ExtractBetween(c, kQuote, out, kQuote) == 0;
}

bool Substituted(InstructionContext& c, std::string& out)
{
    return ExtractArgument(c, out) == 0;
}

void AttachScript(InstructionContext& c, CKObject* owner, const std::string& file)
{
    if (!IsSafeScriptName(file)) {
        ReportPrintf(c.exporter, 2, "Script name refused: %s\r\n", file.c_str());
        return;
    }
    std::string path = c.scriptFolder.CStr();
    for (char ch : file)
        path += ch == '\\' ? '/' : ch;
    path += ".qhx";
    c.builder->AttachScripts(owner, path.c_str());
}

// Reads the instruction's arguments and carries it out; nothing when one is
// missing.
void Run(InstructionContext& c, Instruction instruction)
{
    std::string a, b, v, d;
    switch (instruction) {
    case Instruction::AttachScriptOnThis:
        if (Plain(c, a))
            AttachScript(c, c.target, a);
        break;
    case Instruction::AttachScriptOnCharacter:
        if (Plain(c, a))
            AttachScript(c, c.character, a);
        break;
    case Instruction::SetParamOnThis:
        if (Plain(c, a) && Substituted(c, v))
            c.builder->SetScriptParameter(c.target, a.c_str(), v.c_str());
        break;
    case Instruction::SetParam:
        if (Plain(c, a) && Plain(c, b) && Substituted(c, v)) {
            CKContext* context = c.builder->context;
            if (CKObject* found = context->GetObjectByNameAndParentClass(a.c_str(), CKCID_3DENTITY, nullptr))
                c.builder->SetScriptParameter(found, b.c_str(), v.c_str());
        }
        break;
    case Instruction::SetParamOnCharacter:
        if (Plain(c, a) && Substituted(c, v))
            c.builder->SetScriptParameter(c.character, a.c_str(), v.c_str());
        break;
    case Instruction::SetAttributeOnThis:
    case Instruction::SetAttributeOnCharacter:
        if (Plain(c, a) && Plain(c, v) && Plain(c, b) && Plain(c, d))
            c.builder->SetAttribute(instruction == Instruction::SetAttributeOnThis ? c.target : c.character, a.c_str(),
                                    v.c_str(), b.c_str(), d.c_str());
        break;
    }
}

constexpr size_t kNotFound = (size_t) -1;

// The first position of the needle at or after from, or kNotFound. A needle
// once missing past a position is missing past every later one: each search
// remembers that, so text with many unfinished instructions is scanned once,
// not once per instruction.
size_t Find(InstructionContext& c, const char* needle, size_t from)
{
    size_t* absent = nullptr;
    for (int i = 0; i < InstructionContext::kCachedNeedles; ++i)
        if (std::strcmp(needle, InstructionContext::kNeedles[i]) == 0)
            absent = &c.absentFrom[i];
    if (from > c.end || (absent && from >= *absent))
        return kNotFound;
    // A bounded search: the text past end is never read.
    const size_t found = std::string_view(c.text, c.end).find(needle, from);
    if (found == std::string_view::npos) {
        if (absent && from < *absent)
            *absent = from;
        return kNotFound;
    }
    return found;
}

} // namespace

bool IsSafeScriptName(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name[0] == '\\')
        return false;
    // A drive letter ("C:") is absolute too.
    if (name.size() >= 2 && name[1] == ':')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t stop = name.find_first_of("/\\", start);
        if (stop == std::string::npos)
            stop = name.size();
        if (name.compare(start, stop - start, "..") == 0)
            return false;
        start = stop + 1;
    }
    return true;
}

int ExtractBetween(InstructionContext& c, const char* open, std::string& out, const char* close)
{
    const size_t entry = c.cursor;
    size_t from = c.cursor;
    if (open) {
        const size_t found = Find(c, open, c.cursor);
        if (found == kNotFound) {
            c.cursor = entry;
            return 1;
        }
        from = found + std::strlen(open);
        c.cursor = from;
    }
    if (!close) {
        out.assign(c.text + from, c.end - from);
        c.cursor = c.end;
        return 0;
    }
    const size_t to = Find(c, close, from);
    if (to == kNotFound) {
        c.cursor = entry;
        return 1;
    }
    out.assign(c.text + from, to - from);
    c.cursor = to + std::strlen(close);
    return 0;
}

int ExtractArgument(InstructionContext& c, std::string& out)
{
    if (ExtractBetween(c, kQuote, out, kQuote) != 0)
        return 1;
    if (out == "CK_EXPORTEDANIMATION")
        out = c.exporter ? c.exporter->animationName.CStr() : "";
    else if (out == "CK_EXPORTEDCHARACTER")
        out = c.exporter ? c.exporter->characterName.CStr() : "";
    else if (out == "CK_THIS")
        out = c.target && c.target->GetName() ? c.target->GetName() : "";
    return 0;
}

int RunInstructions(InstructionContext& c, const char* text)
{
    if (!text || !c.builder)
        return 0;
    c.text = text;
    c.cursor = 0;
    c.end = std::strlen(text);
    for (size_t& absent : c.absentFrom)
        absent = kNotFound;
    const bool characterExport = c.exporter && c.exporter->asCharacter;
    std::string name;
    while (ExtractBetween(c, "CK_", name, "(") == 0) {
        for (const InstructionName& entry : kInstructions) {
            if (name != entry.name)
                continue;
            if (!entry.characterOnly || characterExport)
                Run(c, entry.instruction);
            break;
        }
    }
    return 0;
}

void ProcessNodeInstructions(ExportBuilder* builder, INode* node, Max2Qdx* exporter)
{
    Object* object = node ? node->EvalWorldState(0).obj : nullptr;
    if (!builder || !object || !exporter)
        return;
    const auto key = (ExportKey) node;
    CKObject* target = nullptr;
    switch (object->SuperClassID()) {
    case GEOMOBJECT_CLASS_ID:
    case SHAPE_CLASS_ID:
    case HELPER_CLASS_ID: target = builder->FindEntity(key); break;
    case CAMERA_CLASS_ID: target = builder->FindCamera(key); break;
    case LIGHT_CLASS_ID: target = builder->FindLight(key); break;
    default: break;
    }
    if (!target)
        return;
    if (!exporter->EnableInstructions && !(target->GetName() && std::strcmp(target->GetName(), kPreviewCamera) == 0))
        return;
    TSTR buffer;
    node->GetUserPropBuffer(buffer);
    InstructionContext context;
    context.builder = builder;
    context.scriptFolder = GetInstructionScriptFolder();
    context.target = target;
    context.character = builder->character;
    context.animation = builder->animation;
    context.node = node;
    context.exporter = exporter;
    RunInstructions(context, buffer.data());
}

int Max2Qdx::ExportInstructions(INode* start)
{
    if (asAnimation)
        return 1;
    return WalkExportedNodes(*this, start, [this](INode* node) {
        Object* object = node->EvalWorldState(0).obj;
        const SClass_ID super = object ? object->SuperClassID() : 0;
        if (super == GEOMOBJECT_CLASS_ID || super == CAMERA_CLASS_ID || super == LIGHT_CLASS_ID ||
            super == SHAPE_CLASS_ID || super == HELPER_CLASS_ID)
            ProcessNodeInstructions(builder, node, this);
    });
}
