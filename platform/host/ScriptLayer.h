#pragma once

#include <functional>
#include <string>

#include "platform/host/Value.h"

// The stand-in for the host's script layer, as far as a plug-in talks to
// it: named globals that hold script values, and the running of a script
// file. Values cross as values: a text never becomes script source, so a
// file name holding a quote arrives unchanged.

// Sets (or replaces) a global; undefined removes it.
void SetScriptGlobal(const std::string& name, const Value& value);
// The global's value; undefined when it was never set.
Value GetScriptGlobal(const std::string& name);
// Forgets every global.
void ClearScriptGlobals();

// What running a script file does. The stand-in cannot read script text: a
// runner plays the file (the command line and tests install one for the
// utility script). It gives false, with the script error's text, when the
// file fails.
using ScriptFileRunner = std::function<bool(const std::string& path, std::string& error)>;
// Installs a runner (an empty one restores the default, which fails every
// file with "cannot be opened"); gives the previous one.
ScriptFileRunner SetScriptFileRunner(ScriptFileRunner runner);
// Runs the file through the runner; false and the error's text on failure.
bool RunScriptFile(const std::string& path, std::string& error);
