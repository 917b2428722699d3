#pragma once

#include <string>

class HostScene;

// The scene as text, for qdxexport --dump-host and the tests: settings,
// environment, named selections, materials, objects, then the node tree with
// ids, class ids, world matrices at the start of the animation, targets,
// materials, user properties and custom attributes. Numbers print with six
// significant digits (-0 as 0), texts quoted with C escapes, so the same
// scene always gives the same bytes.
std::string DumpHostScene(const HostScene& scene);
