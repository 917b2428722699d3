#pragma once

#include <vector>

#include "core/behavior/CKBehavior.h"
#include "core/context/CKDefines.h"

class CK3dEntity;
class CKBeObject;
class CKContext;
class CKParameter;
class CKRenderContext;
class CKScene;

// Runs building blocks in a system that never runs them itself: a behaviour
// is made from a block's prototype as an editor would make it, and its
// execution function is called with a filled behaviour context. Shared by
// the tests, fuzz targets and benchmarks of the mesh plug-in's blocks.

// Registers the render engine and the level-of-detail plug-in (its building
// blocks and its manager, under "Meshes") with the plug-in manager, as an
// export does before it makes its context. Call after CKStartUp.
void RegisterBlockPlugins();

// A behaviour made from the prototype registered under the GUID: its inputs
// and outputs; its input parameters, those with a declared default reading
// a source that holds it; its output parameters; its locals and settings
// set from their defaults; a target input when the prototype takes a target
// (0x40000), reading the owner; the compatible class and version of the
// declaration; owned by owner through AddScript; then the "Create" message
// (7) an editor sends. Null when there is no such
// prototype or a piece cannot be made. A version other than 0 makes the
// behaviour one of that version of the block, as a file saved by it would
// give it back.
CKBehavior* CreateBlock(CKContext* context, CKGUID prototype, CKBeObject* owner, CKDWORD version = 0);

// The source input parameter n reads, made of the input's type on first
// use (for values such as a 2D curve that are changed in place); null when
// there is no such input.
CKParameter* BlockInputSource(CKBehavior* behavior, int n);
// Gives input parameter n a source of the input's type (made on first use)
// and stores the value in it; null when there is no such input or the value
// is refused.
CKParameter* SetBlockInput(CKBehavior* behavior, int n, const void* value, int size);
template <class T>
CKParameter* SetBlockInputValue(CKBehavior* behavior, int n, const T& value)
{
    return SetBlockInput(behavior, n, &value, (int) sizeof(T));
}
// The same from the value's text form.
CKParameter* SetBlockInputText(CKBehavior* behavior, int n, const char* text);
// An input that names an object (0 for null).
CKParameter* SetBlockInputObject(CKBehavior* behavior, int n, CKObject* object);
// Input n reads nothing any more.
void ClearBlockInput(CKBehavior* behavior, int n);
// The object the target input reads (null: none); FALSE when the behaviour
// has no target input.
CKBOOL SetBlockTarget(CKBehavior* behavior, CKObject* target);

// What one call of an execution function receives besides the behaviour.
struct BlockFrame
{
    float DeltaTime = 20.0f; // milliseconds
    CKRenderContext* RenderContext = nullptr;
    CKScene* Scene = nullptr; // the context's current scene when null
};

// Calls the behaviour's execution function once; its result. -1 for a
// behaviour without function.
int RunBlock(CKBehavior* behavior, const BlockFrame& frame = BlockFrame());
// Calls its callback with the message (what the engine does on copy, edit,
// load...); the callback's result, 0 without one.
int SendBlockMessage(CKBehavior* behavior, CKDWORD message);

// How the drawings of a frame's entities follow one another.
enum class FrameOrder
{
    OneByOne,    // each entity's pre-render, drawing and post-render in turn
    Interleaved, // every pre-render, then every post-render in the same order
    Nested,      // every pre-render, then every post-render in reverse order
};

// Runs the part of a render context's frame that the level-of-detail work
// hooks into: the managers' pre-render of the render context, each entity's
// pre-render callbacks and post-render callbacks in the order asked, the
// managers' post-render, then the temporary callbacks are dropped as at the
// end of a frame. draw, when given, runs for each entity between its
// callbacks (one by one) or between the two passes (otherwise).
void RunFrame(CKRenderContext* dev, const std::vector<CK3dEntity*>& entities, FrameOrder order = FrameOrder::OneByOne,
              void (*draw)(CK3dEntity* entity, void* argument) = nullptr, void* argument = nullptr);
