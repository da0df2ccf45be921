#include "platform/streaming/PropertyRegistry.h"

#include <map>
#include <mutex>

#include "platform/core/Strings.h"

namespace epc {

namespace {

struct Registry {
    std::mutex Lock;
    std::map<std::string, std::unique_ptr<TClassInfo>> Classes; // key: upper-cased name
    std::map<std::string, TComponentFactory> Factories;
    std::map<std::string, TDefinePropertiesProc> DefineProcs; // key: upper-cased class name

    Registry() {
        // The framework's own base classes, so that every chain of parents ends here.
        AddClass("TPersistent", "");
        AddClass("TComponent", "TPersistent");
        AddClass("TCollection", "TPersistent");
        AddClass("TCollectionItem", "TPersistent");

        // Name travels in the component record's header, never as a property.
        TPropInfo name;
        name.Name = "Name";
        name.Kind = TTypeKind::tkString;
        name.Stored = false;
        name.GetStr = [](TPersistent* o) { return detail::Cast<TComponent>(o).Name(); };
        name.SetStr = [](TPersistent* o, const std::string& v) {
            detail::Cast<TComponent>(o).SetName(v);
        };
        AddProp("TComponent", std::move(name));
        TPropInfo tag;
        tag.Name = "Tag";
        tag.Kind = TTypeKind::tkInteger;
        tag.Default = 0;
        tag.MinValue = INT32_MIN;
        tag.MaxValue = INT32_MAX;
        tag.GetOrd = [](TPersistent* o) { return int64_t(detail::Cast<TComponent>(o).Tag()); };
        tag.SetOrd = [](TPersistent* o, int64_t v) {
            detail::Cast<TComponent>(o).SetTag(intptr_t(v));
        };
        AddProp("TComponent", std::move(tag));
    }

    TClassInfo& AddClass(const std::string& className, const std::string& parentName) {
        auto& slot = Classes[UpperCase(className)];
        if (!slot) {
            slot = std::make_unique<TClassInfo>();
            slot->ClassName = className;
        }
        if (!parentName.empty() || slot->ParentName.empty()) slot->ParentName = parentName;
        return *slot;
    }

    TPropInfo& AddProp(const std::string& className, TPropInfo info) {
        auto it = Classes.find(UpperCase(className));
        if (it == Classes.end())
            throw EPropertyError("Class " + className + " has no published properties");
        for (auto& p : it->second->Props)
            if (SameText(p->Name, info.Name)) {
                *p = std::move(info);
                return *p;
            }
        it->second->Props.push_back(std::make_unique<TPropInfo>(std::move(info)));
        return *it->second->Props.back();
    }

    const TClassInfo* Find(const std::string& className) {
        auto it = Classes.find(UpperCase(className));
        return it == Classes.end() ? nullptr : it->second.get();
    }
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Parent chains come from registration calls; a cycle or a very long chain is cut short
// rather than looped over forever.
constexpr int MaxClassDepth = 64;

const TPropInfo* FindProp(Registry& r, const std::string& className, const std::string& name) {
    const TClassInfo* ci = r.Find(className);
    for (int depth = 0; ci && depth < MaxClassDepth; ++depth) {
        for (auto& p : ci->Props)
            if (SameText(p->Name, name)) return p.get();
        ci = ci->ParentName.empty() ? nullptr : r.Find(ci->ParentName);
    }
    return nullptr;
}

const TPropInfo& Require(TPersistent* instance, const std::string& propName) {
    if (!instance) throw EPropertyError("Unknown property: \"" + propName + "\"");
    const TPropInfo* p = GetPropInfo(instance, propName);
    if (!p) throw EPropertyError("Unknown property: \"" + propName + "\"");
    return *p;
}

[[noreturn]] void WrongKind(const TPropInfo& p) {
    throw EPropertyError("Invalid property type: " + p.Name);
}

} // namespace

bool TPropInfo::IsStoredProp(TPersistent* instance) const {
    if (!Stored) return false;
    if (IsStored && !IsStored(instance)) return false;
    return true;
}

TClassInfo& RegisterPublishedClass(const std::string& className, const std::string& parentName) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.AddClass(className, parentName);
}

TPropInfo& AddPublishedProperty(const std::string& className, TPropInfo info) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.AddProp(className, std::move(info));
}

const TClassInfo* FindClassInfo(const std::string& className) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.Find(className);
}

const TPropInfo* GetPropInfo(const std::string& className, const std::string& propName) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return FindProp(r, className, propName);
}

const TPropInfo* GetPropInfo(const TPersistent* instance, const std::string& propName) {
    return instance ? GetPropInfo(instance->ClassName(), propName) : nullptr;
}

std::vector<const TPropInfo*> GetPropList(const std::string& className) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    std::vector<const TClassInfo*> chain;
    const TClassInfo* ci = r.Find(className);
    for (int depth = 0; ci && depth < MaxClassDepth; ++depth) {
        chain.push_back(ci);
        ci = ci->ParentName.empty() ? nullptr : r.Find(ci->ParentName);
    }
    std::vector<const TPropInfo*> list;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        for (auto& p : (*it)->Props) {
            // A redeclared property keeps its ancestor's place but the descendant's details.
            bool replaced = false;
            for (auto& q : list)
                if (SameText(q->Name, p->Name)) {
                    q = p.get();
                    replaced = true;
                }
            if (!replaced) list.push_back(p.get());
        }
    return list;
}

bool IsPublishedProp(const TPersistent* instance, const std::string& propName) {
    return GetPropInfo(instance, propName) != nullptr;
}

bool InheritsFromClass(const std::string& className, const std::string& ancestorName) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    if (SameText(className, ancestorName)) return true;
    const TClassInfo* ci = r.Find(className);
    for (int depth = 0; ci && depth < MaxClassDepth; ++depth) {
        if (SameText(ci->ClassName, ancestorName)) return true;
        ci = ci->ParentName.empty() ? nullptr : r.Find(ci->ParentName);
    }
    return false;
}

int64_t GetOrdProp(TPersistent* instance, const TPropInfo* p) {
    if (!p || !p->IsOrdinal() || !p->GetOrd) {
        if (p) WrongKind(*p);
        throw EPropertyError("Unknown property");
    }
    return p->GetOrd(instance);
}

void SetOrdProp(TPersistent* instance, const TPropInfo* p, int64_t value) {
    if (!p || !p->IsOrdinal() || !p->SetOrd) {
        if (p) WrongKind(*p);
        throw EPropertyError("Unknown property");
    }
    if (p->Kind == TTypeKind::tkEnumeration &&
        (value < 0 || !p->Idents || value >= int64_t(p->Idents->size())))
        throw EPropertyError("Invalid property value");
    p->SetOrd(instance, value);
}

int64_t GetOrdProp(TPersistent* instance, const std::string& propName) {
    return GetOrdProp(instance, &Require(instance, propName));
}

void SetOrdProp(TPersistent* instance, const std::string& propName, int64_t value) {
    SetOrdProp(instance, &Require(instance, propName), value);
}

std::string GetStrProp(TPersistent* instance, const std::string& propName) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind == TTypeKind::tkString && p.GetStr) return p.GetStr(instance);
    if (p.Kind == TTypeKind::tkWString && p.GetWStr) return WideToAnsi(p.GetWStr(instance));
    WrongKind(p);
}

void SetStrProp(TPersistent* instance, const std::string& propName, const std::string& value) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind == TTypeKind::tkString && p.SetStr) return p.SetStr(instance, value);
    if (p.Kind == TTypeKind::tkWString && p.SetWStr) return p.SetWStr(instance, AnsiToWide(value));
    WrongKind(p);
}

std::u16string GetWideStrProp(TPersistent* instance, const std::string& propName) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind == TTypeKind::tkWString && p.GetWStr) return p.GetWStr(instance);
    if (p.Kind == TTypeKind::tkString && p.GetStr) return AnsiToWide(p.GetStr(instance));
    WrongKind(p);
}

void SetWideStrProp(TPersistent* instance, const std::string& propName,
                    const std::u16string& value) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind == TTypeKind::tkWString && p.SetWStr) return p.SetWStr(instance, value);
    if (p.Kind == TTypeKind::tkString && p.SetStr) return p.SetStr(instance, WideToAnsi(value));
    WrongKind(p);
}

std::string GetEnumProp(TPersistent* instance, const std::string& propName) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind == TTypeKind::tkBoolean && p.GetOrd) return p.GetOrd(instance) ? "True" : "False";
    if (p.Kind != TTypeKind::tkEnumeration || !p.GetOrd || !p.Idents) WrongKind(p);
    int64_t v = p.GetOrd(instance);
    std::string name = GetEnumName(*p.Idents, v);
    return name.empty() ? std::to_string(v) : name;
}

void SetEnumProp(TPersistent* instance, const std::string& propName, const std::string& value) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind == TTypeKind::tkBoolean && p.SetOrd) {
        if (SameText(value, "True")) return p.SetOrd(instance, 1);
        if (SameText(value, "False")) return p.SetOrd(instance, 0);
        throw EPropertyError("Invalid property element: " + value);
    }
    if (p.Kind != TTypeKind::tkEnumeration || !p.SetOrd || !p.Idents) WrongKind(p);
    int v = GetEnumValue(*p.Idents, value);
    if (v < 0) throw EPropertyError("Invalid property element: " + value);
    p.SetOrd(instance, v);
}

TPersistent* GetObjectProp(TPersistent* instance, const std::string& propName) {
    const TPropInfo& p = Require(instance, propName);
    if (p.Kind != TTypeKind::tkClass || !p.GetObj) WrongKind(p);
    return p.GetObj(instance);
}

std::string GetEnumName(const TIdentList& idents, int64_t value) {
    if (value < 0 || value >= int64_t(idents.size())) return std::string();
    return idents[size_t(value)];
}

int GetEnumValue(const TIdentList& idents, const std::string& name) {
    for (size_t i = 0; i < idents.size(); ++i)
        if (SameText(idents[i], name)) return int(i);
    return -1;
}

// ---- custom properties of classes below the streaming layer ---------------------------------

void RegisterDefineProperties(const std::string& className, TDefinePropertiesProc proc) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.DefineProcs[UpperCase(className)] = std::move(proc);
}

void CallRegisteredDefineProperties(TPersistent* instance, TFiler* filer) {
    if (!instance) return;
    std::vector<TDefinePropertiesProc> procs;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.Lock);
        std::string name = instance->ClassName();
        for (int depth = 0; !name.empty() && depth < MaxClassDepth; ++depth) {
            auto it = r.DefineProcs.find(UpperCase(name));
            if (it != r.DefineProcs.end() && it->second) procs.push_back(it->second);
            const TClassInfo* ci = r.Find(name);
            name = ci ? ci->ParentName : std::string();
        }
    }
    for (auto& proc : procs)
        proc(instance, filer);
}

// ---- class registry ---------------------------------------------------------------------------

void RegisterClass(const std::string& className, TComponentFactory factory) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Factories[UpperCase(className)] = std::move(factory);
}

void UnRegisterClass(const std::string& className) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Factories.erase(UpperCase(className));
}

bool IsClassRegistered(const std::string& className) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.Lock);
    auto it = r.Factories.find(UpperCase(className));
    return it != r.Factories.end() && it->second;
}

TComponent* CreateComponentByClassName(const std::string& className, TComponent* owner) {
    TComponentFactory factory;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> guard(r.Lock);
        auto it = r.Factories.find(UpperCase(className));
        if (it != r.Factories.end()) factory = it->second;
    }
    if (!factory) throw EClassNotFound(FormatMessage("Class %s not found", className));
    return factory(owner);
}

} // namespace epc
