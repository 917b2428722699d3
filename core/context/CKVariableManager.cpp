#include "core/context/CKVariableManager.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterManager.h"
#include "system/config/QxConfiguration.h"
#include "system/log/QxLogManager.h"

namespace {

// atoi without undefined behaviour: out-of-range values are clamped.
int ParseInt(const char* text)
{
    if (!text)
        return 0;
    errno = 0;
    long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return (int) v;
}

// atof narrowed to float, clamped to the float range.
float ParseFloat(const char* text)
{
    if (!text)
        return 0.0f;
    double v = std::strtod(text, nullptr);
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return (float) v;
}

struct RepItem
{
    int value;
    XString valueText;
    XString name;
};

// Splits "kind:v=name;v=name" into its kind and items. False when there is
// no ':'.
bool ParseRepresentation(const char* rep, XString& kind, XArray<RepItem*>& items)
{
    const char* colon = rep ? std::strchr(rep, ':') : nullptr;
    if (!colon)
        return false;
    kind.Assign(rep, (int) (colon - rep));
    const char* p = colon + 1;
    while (*p) {
        const char* end = std::strchr(p, ';');
        int len = end ? (int) (end - p) : (int) std::strlen(p);
        if (len > 0) {
            XString item;
            item.Assign(p, len);
            RepItem* r = new RepItem;
            int eq = item.Find('=');
            if (eq >= 0) {
                r->valueText.Assign(item.CStr(), eq);
                r->name = item.CStr() + eq + 1;
            } else {
                r->valueText = item;
            }
            r->value = ParseInt(r->valueText.CStr());
            items.PushBack(r);
        }
        if (!end)
            break;
        p = end + 1;
    }
    return true;
}

void FreeItems(XArray<RepItem*>& items)
{
    for (RepItem* r : items)
        delete r;
    items.Clear();
}

bool KindIs(const XString& kind, const char* four)
{
    return std::strncmp(kind.CStr(), four, 4) == 0;
}

class VariableInt : public CKVariableManager::Variable
{
public:
    VariableInt(int* v, int def, const char* description, CKDWORD flags)
        : Variable(description, flags), m_Value(v), m_Default(def)
    {}
    CKBOOL DiffersFromDefault() override { return *m_Value != m_Default; }
    void RestoreDefault() override { *m_Value = m_Default; }
    int GetType() override { return CKVariableManager::INT; }
    void SetValueFromString(const char* text) override { *m_Value = ParseInt(text); }
    void GetValueAsString(XString& out) override { out.Format("%d", *m_Value); }
    void* GetPointer() override { return m_Value; }

protected:
    int* m_Value;
    int m_Default;
};

class VariableIntRep : public VariableInt
{
public:
    VariableIntRep(int* v, int def, const char* representation, const char* description, CKDWORD flags)
        : VariableInt(v, def, description, flags), m_Representation(representation)
    {}
    const char* GetRepresentation() override { return m_Representation; }

    void SetValueFromString(const char* text) override
    {
        if (!text)
            text = "";
        XString kind;
        XArray<RepItem*> items;
        if (!ParseRepresentation(m_Representation, kind, items)) {
            *m_Value = 0;
            return;
        }
        if (KindIs(kind, "enum")) {
            bool found = false;
            for (RepItem* r : items)
                if (r->name == text || r->valueText == text) {
                    *m_Value = r->value;
                    found = true;
                    break;
                }
            if (!found) {
                *m_Value = 0;
                QxGetLogManager()
                    ->SetContext(CKGetLogSourceId(), QXLOG_WARNING, __LINE__, "CKVariableManager_variables")
                    ->Log("'%s' .ini file value was not found in the corresponding variable.", text);
            }
        } else if (KindIs(kind, "flag")) {
            int value = 0;
            for (RepItem* r : items) {
                bool byName = !r->name.IsEmpty() && std::strstr(text, r->name.CStr());
                bool byValue = !r->valueText.IsEmpty() && std::strstr(text, r->valueText.CStr());
                if (byName || byValue)
                    value |= r->value;
            }
            *m_Value = value;
        } else if (KindIs(kind, "bool")) {
            *m_Value = (std::strcmp(text, "TRUE") == 0 || std::strcmp(text, "1") == 0) ? 1 : 0;
        } else if (KindIs(kind, "rang")) {
            *m_Value = ParseInt(text);
        } else {
            *m_Value = 0;
        }
        FreeItems(items);
    }

    void GetValueAsString(XString& out) override
    {
        XString kind;
        XArray<RepItem*> items;
        if (!ParseRepresentation(m_Representation, kind, items)) {
            out = "Invalid Representation";
            return;
        }
        if (KindIs(kind, "enum")) {
            out = "Invalid Value";
            for (RepItem* r : items)
                if (r->value == *m_Value) {
                    out = r->name.IsEmpty() ? r->valueText : r->name;
                    break;
                }
        } else if (KindIs(kind, "flag")) {
            XString text;
            for (RepItem* r : items)
                if (r->value & *m_Value) {
                    text += r->name.IsEmpty() ? r->valueText : r->name;
                    text += ",";
                }
            if (text.IsEmpty())
                out = "NA";
            else
                out.Assign(text.CStr(), text.Length() - 1);
        } else if (KindIs(kind, "bool")) {
            out = *m_Value ? "TRUE" : "FALSE";
        } else if (!KindIs(kind, "rang")) {
            out = "Unknown Type";
        }
        FreeItems(items);
    }

private:
    const char* m_Representation; // not owned
};

class VariableFloat : public CKVariableManager::Variable
{
public:
    VariableFloat(float* v, float def, const char* description, CKDWORD flags)
        : Variable(description, flags), m_Value(v), m_Default(def)
    {}
    CKBOOL DiffersFromDefault() override { return *m_Value != m_Default; }
    void RestoreDefault() override { *m_Value = m_Default; }
    int GetType() override { return CKVariableManager::FLOAT; }
    void SetValueFromString(const char* text) override { *m_Value = ParseFloat(text); }
    void GetValueAsString(XString& out) override { out.Format("%f", (double) *m_Value); }
    void* GetPointer() override { return m_Value; }

private:
    float* m_Value;
    float m_Default;
};

class VariableString : public CKVariableManager::Variable
{
public:
    VariableString(XString* v, const char* def, const char* description, CKDWORD flags)
        : Variable(description, flags), m_Value(v), m_Default(def)
    {}
    CKBOOL DiffersFromDefault() override { return *m_Value != m_Default; }
    void RestoreDefault() override { *m_Value = m_Default; }
    int GetType() override { return CKVariableManager::STRING; }
    void SetValueFromString(const char* text) override { *m_Value = text; }
    void GetValueAsString(XString& out) override { out = *m_Value; }
    void* GetPointer() override { return m_Value; }

private:
    XString* m_Value;
    XString m_Default;
};

void LogWarning(int line, const char* format, const char* name)
{
    QxGetLogManager()->SetContext(CKGetLogSourceId(), QXLOG_WARNING, line, "CKVariableManager")->Log(format, name);
}

} // namespace

CKVariableManager::CKVariableManager(CKContext* context)
    : CKBaseManager(context, VARIABLE_MANAGER_GUID, "Variable Manager")
{
    m_Context->RegisterNewManager(this);
}

CKVariableManager::~CKVariableManager()
{
    for (Iterator it = m_Variables.Begin(); it != m_Variables.End(); ++it) {
        LogWarning(__LINE__, "Variable '%s' was not unbound", it.GetKey().CStr());
        delete *it;
    }
    for (auto it = m_Watchers.Begin(); it != m_Watchers.End(); ++it)
        LogWarning(__LINE__, "Watcher for the variable '%s' unremoved", it.GetKey().CStr());
}

void CKVariableManager::Register(const char* name, Variable* variable, CKDWORD flags)
{
    (void) flags;
    if (!name || m_Variables.IsHere(name)) {
        delete variable;
        return;
    }
    m_Variables.Insert(XString(name), variable);
    if (XString* pending = m_Pending.FindPtr(name)) {
        variable->SetValueFromString(pending->CStr());
        CallPostWrite(name);
        m_Pending.Remove(name);
    } else if (!(variable->GetFlags() & READONLY)) {
        variable->RestoreDefault();
        CallPostWrite(name);
    }
}

void CKVariableManager::BindInt(const char* name, int* variable, int defaultValue, CKDWORD flags,
                                const char* description)
{
    Register(name, new VariableInt(variable, defaultValue, description, flags), flags);
}

void CKVariableManager::BindIntWithRepresentation(const char* name, int* variable, int defaultValue, CKDWORD flags,
                                                  const char* representation, const char* description)
{
    Register(name, new VariableIntRep(variable, defaultValue, representation, description, flags), flags);
}

void CKVariableManager::BindFloat(const char* name, float* variable, float defaultValue, CKDWORD flags,
                                  const char* description)
{
    Register(name, new VariableFloat(variable, defaultValue, description, flags), flags);
}

void CKVariableManager::BindString(const char* name, XString* variable, const char* defaultValue, CKDWORD flags,
                                   const char* description)
{
    Register(name, new VariableString(variable, defaultValue, description, flags), flags);
}

void CKVariableManager::UnBind(const char* name)
{
    if (!name)
        return;
    if (Variable** v = m_Variables.FindPtr(name)) {
        delete *v;
        m_Variables.Remove(name);
    }
}

CKBOOL CKVariableManager::IsBound(const char* name) const
{
    return name && m_Variables.IsHere(name);
}

CKVariableManager::Variable* CKVariableManager::GetVariable(const char* name)
{
    if (!name)
        return nullptr;
    Variable** v = m_Variables.FindPtr(name);
    return v ? *v : nullptr;
}

void CKVariableManager::CallPreRead(const char* name)
{
    if (Watcher** w = m_Watchers.FindPtr(name))
        (*w)->PreRead(name);
}

void CKVariableManager::CallPostWrite(const char* name)
{
    if (Watcher** w = m_Watchers.FindPtr(name))
        (*w)->PostWrite(name);
}

template <class T>
CKBOOL CKVariableManager::GetTyped(const char* name, int type, T* value)
{
    Variable* v = GetVariable(name);
    if (!v || v->GetType() != type || !value)
        return FALSE;
    CallPreRead(name);
    *value = *static_cast<T*>(v->GetPointer());
    return TRUE;
}

template <class T, class V>
CKBOOL CKVariableManager::SetTyped(const char* name, int type, const V& value)
{
    Variable* v = GetVariable(name);
    if (!v || (v->GetFlags() & READONLY) || v->GetType() != type)
        return FALSE;
    *static_cast<T*>(v->GetPointer()) = value;
    CallPostWrite(name);
    return TRUE;
}

CKBOOL CKVariableManager::GetValue(const char* name, int* value)
{
    return GetTyped(name, INT, value);
}

CKBOOL CKVariableManager::GetValue(const char* name, float* value)
{
    return GetTyped(name, FLOAT, value);
}

CKBOOL CKVariableManager::GetValue(const char* name, XString* value)
{
    return GetTyped(name, STRING, value);
}

CKBOOL CKVariableManager::GetValueAsString(const char* name, XString& value)
{
    Variable* v = GetVariable(name);
    if (!v)
        return FALSE;
    CallPreRead(name);
    v->GetValueAsString(value);
    return TRUE;
}

CKBOOL CKVariableManager::SetValue(const char* name, int value)
{
    return SetTyped<int>(name, INT, value);
}

CKBOOL CKVariableManager::SetValue(const char* name, float value)
{
    return SetTyped<float>(name, FLOAT, value);
}

CKBOOL CKVariableManager::SetValue(const char* name, const char* value)
{
    return SetTyped<XString>(name, STRING, value);
}

CKBOOL CKVariableManager::SetStringValue(const char* name, const char* text)
{
    if (!name)
        return FALSE;
    Variable* v = GetVariable(name);
    if (!v) {
        m_Pending.Insert(XString(name), XString(text));
        return FALSE;
    }
    if (v->GetFlags() & READONLY)
        return FALSE;
    v->SetValueFromString(text);
    CallPostWrite(name);
    return TRUE;
}

CKBOOL CKVariableManager::SetSaveInFile(const char* name, CKBOOL on)
{
    Variable* v = GetVariable(name);
    if (!v)
        return FALSE;
    if (!(v->GetFlags() & SAVEIFDIFFERENT)) {
        if (on)
            v->ModifyFlags(COMPOSITIONBOUND, 0);
        else
            v->ModifyFlags(0, COMPOSITIONBOUND);
    }
    return TRUE;
}

void CKVariableManager::RestoreDefaults(int which)
{
    for (Iterator it = m_Variables.Begin(); it != m_Variables.End(); ++it) {
        Variable* v = *it;
        bool selected = which == 1 || (which == 2 && (v->GetFlags() & COMPOSITIONBOUND)) ||
                        (which == 3 && (v->GetFlags() & SAVEIFDIFFERENT));
        if (!selected)
            continue;
        v->RestoreDefault();
        CallPostWrite(it.GetKey().CStr());
    }
}

void CKVariableManager::RegisterWatcher(const char* name, Watcher* watcher)
{
    if (name && watcher)
        m_Watchers.Insert(XString(name), watcher);
}

CKVariableManager::Watcher* CKVariableManager::UnRegisterWatcher(const char* name)
{
    if (!name)
        return nullptr;
    Watcher** w = m_Watchers.FindPtr(name);
    if (!w)
        return nullptr;
    Watcher* watcher = *w;
    m_Watchers.Remove(name);
    return watcher;
}

CKBOOL CKVariableManager::GetVariableParameterType(const char* name, CKGUID& guid)
{
    Variable* v = GetVariable(name);
    if (!v)
        return FALSE;
    if (CKGUID* known = m_RegisteredTypes.FindPtr(name)) {
        guid = *known;
        return TRUE;
    }
    if (v->GetType() == FLOAT) {
        guid = CKPGUID_FLOAT;
        return TRUE;
    }
    if (v->GetType() == STRING) {
        guid = CKPGUID_STRING;
        return TRUE;
    }
    XString kind;
    XArray<RepItem*> items;
    guid = CKPGUID_INT;
    if (ParseRepresentation(v->GetRepresentation(), kind, items)) {
        bool flags = KindIs(kind, "flag");
        if (flags || KindIs(kind, "enum")) {
            XString members;
            for (int i = 0; i < items.Size(); ++i) {
                if (i > 0)
                    members += ",";
                members += items[i]->name;
                members += "=";
                members += items[i]->valueText;
            }
            CKParameterManager* pm = m_Context->GetParameterManager();
            CKGUID made = m_Context->GenerateGuid();
            CKERROR err = !pm     ? CKErr::NotInitialized
                          : flags ? pm->RegisterNewFlags(made, name, members.CStr())
                                  : pm->RegisterNewEnum(made, name, members.CStr());
            if (err == CKErr::Ok) {
                m_RegisteredTypes.Insert(XString(name), made);
                guid = made;
            }
        } else if (KindIs(kind, "bool")) {
            guid = CKPGUID_BOOL;
        }
    }
    FreeItems(items);
    return TRUE;
}

void CKVariableManager::SetConfigFile(const char* fileName)
{
    m_ConfigFile = fileName ? fileName : "";
    if (!m_ConfigFile.IsEmpty())
        LoadFromFile(m_ConfigFile.CStr());
}

CKBOOL CKVariableManager::SaveToFile(const char* fileName, const XArray<const char*>* names, CKBOOL merge)
{
    const char* file = fileName ? fileName : m_ConfigFile.CStr();
    if (!file || !*file)
        return FALSE;
    QxConfiguration config;
    if (merge && !config.ReadFromFile(file, nullptr, nullptr))
        return FALSE;
    auto add = [&](const char* name, Variable* v) {
        XString full(name);
        int slash = full.RFind('/');
        XString section, key;
        if (slash < 0) {
            section = "No Category";
            key = full;
        } else {
            section.Assign(full.CStr(), slash);
            key = full.CStr() + slash + 1;
        }
        XString value;
        v->GetValueAsString(value);
        QxConfigurationSection* s = config.GetRoot()->CreateSubSection(section.CStr());
        if (s)
            s->AddEntry(key.CStr(), value.CStr(), nullptr);
    };
    if (names) {
        for (const char* name : *names)
            if (Variable* v = GetVariable(name))
                add(name, v);
    } else {
        for (Iterator it = m_Variables.Begin(); it != m_Variables.End(); ++it)
            if (!((*it)->GetFlags() & READONLY))
                add(it.GetKey().CStr(), *it);
    }
    return config.WriteToFile(file) ? TRUE : FALSE;
}

CKBOOL CKVariableManager::LoadFromFile(const char* fileName, const XArray<const char*>* names)
{
    if (names && names->IsEmpty())
        return TRUE;
    if (!fileName || !*fileName)
        return FALSE;
    QxConfiguration config;
    if (!config.ReadFromFile(fileName, nullptr, nullptr) || config.GetNumberOfSubSections() == 0)
        return FALSE;
    QxConfigurationSection::SectionIterator sit;
    for (QxConfigurationSection* s = config.GetFirstSection(sit); s; s = config.GetNextSection(sit)) {
        QxConfigurationSection::EntryIterator eit;
        for (QxConfigurationEntry* e = s->GetFirstEntry(eit); e; e = s->GetNextEntry(eit)) {
            XString full(s->GetName());
            full += "/";
            full += e->GetName();
            if (names) {
                bool listed = false;
                for (const char* n : *names)
                    if (n && full == n)
                        listed = true;
                if (!listed)
                    continue;
            }
            SetStringValue(full.CStr(), e->GetValue());
        }
    }
    return TRUE;
}

CKStateChunk* CKVariableManager::SaveData(CKFile* file)
{
    // Written through a state chunk once files are saved.
    (void) file;
    return nullptr;
}

CKERROR CKVariableManager::LoadData(CKStateChunk* chunk, CKFile* file)
{
    (void) file;
    if (!chunk)
        return CKErr::InvalidParameter;
    return CKErr::Ok;
}

CKERROR CKVariableManager::PostClearAll()
{
    for (Iterator it = m_Variables.Begin(); it != m_Variables.End(); ++it) {
        Variable* v = *it;
        if ((v->GetFlags() & COMPOSITIONBOUND) && !(v->GetFlags() & SAVEIFDIFFERENT))
            v->ModifyFlags(0, COMPOSITIONBOUND);
    }
    if (!m_ConfigFile.IsEmpty())
        LoadFromFile(m_ConfigFile.CStr());
    if (CKParameterManager* pm = m_Context->GetParameterManager())
        for (auto it = m_RegisteredTypes.Begin(); it != m_RegisteredTypes.End(); ++it)
            pm->UnRegisterParameterType(*it);
    m_RegisteredTypes.Clear();
    return CKErr::Ok;
}
