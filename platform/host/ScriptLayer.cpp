#include "platform/host/ScriptLayer.h"

#include <map>
#include <utility>

namespace {

std::map<std::string, Value>& Globals()
{
    static std::map<std::string, Value> globals;
    return globals;
}

ScriptFileRunner& Runner()
{
    static ScriptFileRunner runner;
    return runner;
}

} // namespace

void SetScriptGlobal(const std::string& name, const Value& value)
{
    if (value.GetKind() == Value::Kind::Undefined)
        Globals().erase(name);
    else
        Globals()[name] = value;
}

Value GetScriptGlobal(const std::string& name)
{
    auto it = Globals().find(name);
    return it == Globals().end() ? Value() : it->second;
}

void ClearScriptGlobals()
{
    Globals().clear();
}

ScriptFileRunner SetScriptFileRunner(ScriptFileRunner runner)
{
    return std::exchange(Runner(), std::move(runner));
}

bool RunScriptFile(const std::string& path, std::string& error)
{
    if (!Runner()) {
        error = path + ": cannot be opened";
        return false;
    }
    return Runner()(path, error);
}
