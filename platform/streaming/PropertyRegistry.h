#pragma once
// The published-property registry: for each class, its parent and its properties in declared
// order (name, kind, accessors, default, stored flag), and the class registry that creates
// components by class name. Component streams and "set a property by name" both work from it.
//
// A class registers once, at start-up, with one short line per property:
//
//   static const bool registered = [] {
//       TPublished<TCellData>("TCellData", "TPersistent")
//           .Color("Color", &TCellData::Color, &TCellData::SetColor, clNone)
//           .Integer("BestWidth", &TCellData::BestWidth, &TCellData::SetBestWidth, 0)
//           .Enum("VAlign", &TCellData::VAlign, &TCellData::SetVAlign, {"rvcTop", "rvcMiddle"}, 0);
//       return true;
//   }();
//
// Lookups walk up to parent classes; names of classes and properties compare without regard to
// ASCII case, as identifiers do in stored forms.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"

namespace epc {

// Raised for an unknown property name or a property of the wrong kind.
EPC_EXCEPTION_CLASS(EPropertyError, Exception)

enum class TTypeKind {
    tkInteger,     // signed or unsigned integer
    tkEnumeration, // stored as an identifier
    tkSet,         // stored as a list of identifiers
    tkBoolean,
    tkString,  // byte string
    tkWString, // UTF-16 string
    tkColor,   // stored by name where the colour has one
    tkFloat,   // a single, stored as vaSingle
    tkClass,   // a sub-object (dotted paths, collections) or a component reference
    tkMethod   // an event: never written, skipped when read
};

using TIdentList = std::vector<std::string>;

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkInteger;
    // Identifier names of an enumeration's values or of a set's elements, by ordinal.
    std::shared_ptr<const TIdentList> Idents;
    // Range of an integer property's type; stream values outside it are rejected.
    int64_t MinValue = std::numeric_limits<int64_t>::min();
    int64_t MaxValue = std::numeric_limits<int64_t>::max();
    // Ordinal kinds (integer, enumeration, set as its bits, Boolean as 0/1, colour).
    std::function<int64_t(TPersistent*)> GetOrd;
    std::function<void(TPersistent*, int64_t)> SetOrd;
    std::function<std::string(TPersistent*)> GetStr;
    std::function<void(TPersistent*, const std::string&)> SetStr;
    std::function<std::u16string(TPersistent*)> GetWStr;
    std::function<void(TPersistent*, const std::u16string&)> SetWStr;
    std::function<double(TPersistent*)> GetFloat;
    std::function<void(TPersistent*, double)> SetFloat;
    // A float equal to its default (as a single) is not written.
    std::optional<double> FloatDefault;
    std::function<TPersistent*(TPersistent*)> GetObj;
    std::function<void(TPersistent*, TPersistent*)> SetObj;
    // A class property that names another component instead of owning a sub-object.
    bool IsReference = false;
    // An ordinal equal to its default is not written; no default means always written.
    std::optional<int64_t> Default;
    bool Stored = true;
    std::function<bool(TPersistent*)> IsStored;

    bool IsOrdinal() const {
        return Kind == TTypeKind::tkInteger || Kind == TTypeKind::tkEnumeration ||
               Kind == TTypeKind::tkSet || Kind == TTypeKind::tkBoolean ||
               Kind == TTypeKind::tkColor;
    }
    // Whether the current value of instance is to be written.
    bool IsStoredProp(TPersistent* instance) const;
};

struct TClassInfo {
    std::string ClassName;
    std::string ParentName;
    std::vector<std::unique_ptr<TPropInfo>> Props; // declared order
};

// Adds a class to the registry (or returns it when already there) with its parent's name.
TClassInfo& RegisterPublishedClass(const std::string& className, const std::string& parentName);
// Appends a property to a registered class; a property of the same name is replaced in place.
TPropInfo& AddPublishedProperty(const std::string& className, TPropInfo info);
const TClassInfo* FindClassInfo(const std::string& className);

// Looks a property up in the class and its ancestors; null when there is none.
const TPropInfo* GetPropInfo(const std::string& className, const std::string& propName);
const TPropInfo* GetPropInfo(const TPersistent* instance, const std::string& propName);
// All properties of a class, those of its farthest ancestor first, each in declared order.
std::vector<const TPropInfo*> GetPropList(const std::string& className);
bool IsPublishedProp(const TPersistent* instance, const std::string& propName);
// True when className is ancestorName or derives from it through registered parents.
bool InheritsFromClass(const std::string& className, const std::string& ancestorName);

// Get and set by name. An unknown name or a property of another kind raises EPropertyError.
int64_t GetOrdProp(TPersistent* instance, const std::string& propName);
void SetOrdProp(TPersistent* instance, const std::string& propName, int64_t value);
int64_t GetOrdProp(TPersistent* instance, const TPropInfo* propInfo);
void SetOrdProp(TPersistent* instance, const TPropInfo* propInfo, int64_t value);
std::string GetStrProp(TPersistent* instance, const std::string& propName);
void SetStrProp(TPersistent* instance, const std::string& propName, const std::string& value);
std::u16string GetWideStrProp(TPersistent* instance, const std::string& propName);
void SetWideStrProp(TPersistent* instance, const std::string& propName,
                    const std::u16string& value);
// Enumerations by identifier ("taCenter"); an unknown identifier raises EPropertyError.
std::string GetEnumProp(TPersistent* instance, const std::string& propName);
void SetEnumProp(TPersistent* instance, const std::string& propName, const std::string& value);
TPersistent* GetObjectProp(TPersistent* instance, const std::string& propName);

// Identifier of an ordinal in a list ("" when out of range) and back (-1 when unknown).
std::string GetEnumName(const TIdentList& idents, int64_t value);
int GetEnumValue(const TIdentList& idents, const std::string& name);

// ---- custom properties of classes below the streaming layer ---------------------------------

class TFiler;
// A class's extra stream properties (a picture's "Data", a string list's "Strings") for classes
// that cannot override DefineProperties because they live below this layer.
using TDefinePropertiesProc = std::function<void(TPersistent* instance, TFiler* filer)>;
// Registered for a class, the proc also serves every class registered as derived from it.
void RegisterDefineProperties(const std::string& className, TDefinePropertiesProc proc);
// Calls the procs registered for the instance's class and its ancestors, nearest first.
void CallRegisteredDefineProperties(TPersistent* instance, TFiler* filer);

// ---- class registry -------------------------------------------------------------------------

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;

// Makes a class creatable from a stream by its name.
void RegisterClass(const std::string& className, TComponentFactory factory);
template <class T> void RegisterClass(const std::string& className) {
    RegisterClass(className, [](TComponent* owner) -> TComponent* { return new T(owner); });
}
void UnRegisterClass(const std::string& className);
bool IsClassRegistered(const std::string& className);
// Creates a registered class; raises EClassNotFound "Class %s not found" otherwise.
TComponent* CreateComponentByClassName(const std::string& className, TComponent* owner);

// ---- typed registration ---------------------------------------------------------------------

namespace detail {

template <class T> struct IsTSet : std::false_type {};
template <class E> struct IsTSet<TSet<E>> : std::true_type {};

template <class V> int64_t ToOrd(const V& v) {
    if constexpr (std::is_same_v<V, bool>)
        return v ? 1 : 0;
    else if constexpr (std::is_enum_v<V>)
        return int64_t(static_cast<std::underlying_type_t<V>>(v));
    else if constexpr (IsTSet<V>::value)
        return int64_t(v.Bits());
    else
        return int64_t(v);
}

template <class V> V FromOrd(int64_t x) {
    if constexpr (std::is_same_v<V, bool>)
        return x != 0;
    else if constexpr (std::is_enum_v<V>)
        return static_cast<V>(static_cast<std::underlying_type_t<V>>(x));
    else if constexpr (IsTSet<V>::value)
        return V::FromBits(uint64_t(x));
    else
        return static_cast<V>(x);
}

template <class C> C& Cast(TPersistent* p) {
    auto* c = dynamic_cast<C*>(p);
    if (!c) throw EPropertyError("Invalid property owner: " + (p ? p->ClassName() : "nil"));
    return *c;
}

} // namespace detail

// Registers the published properties of class C. Getters and setters are member functions
// (or callables taking C&); a setter may be omitted (nullptr) for read-only sub-objects.
template <class C> class TPublished {
public:
    TPublished(const std::string& className, const std::string& parentName)
        : FClassName(className) {
        RegisterPublishedClass(className, parentName);
    }

    template <class G, class S>
    TPublished& Integer(const std::string& name, G get, S set,
                        std::optional<int64_t> def = std::nullopt) {
        using V = Value<G>;
        TPropInfo& p = Ordinal(TTypeKind::tkInteger, name, get, set, def);
        if constexpr (std::is_integral_v<V>) {
            p.MinValue = int64_t(std::numeric_limits<V>::min());
            p.MaxValue = std::numeric_limits<V>::max() > uint64_t(INT64_MAX)
                             ? INT64_MAX
                             : int64_t(std::numeric_limits<V>::max());
        }
        return *this;
    }
    template <class G, class S>
    TPublished& Enum(const std::string& name, G get, S set, TIdentList idents,
                     std::optional<int64_t> def = std::nullopt) {
        TPropInfo& p = Ordinal(TTypeKind::tkEnumeration, name, get, set, def);
        p.Idents = std::make_shared<const TIdentList>(std::move(idents));
        return *this;
    }
    // Sets default to the empty set unless another default (as bits) is given.
    template <class G, class S>
    TPublished& Set(const std::string& name, G get, S set, TIdentList idents,
                    std::optional<int64_t> def = 0) {
        TPropInfo& p = Ordinal(TTypeKind::tkSet, name, get, set, def);
        p.Idents = std::make_shared<const TIdentList>(std::move(idents));
        return *this;
    }
    template <class G, class S>
    TPublished& Boolean(const std::string& name, G get, S set,
                        std::optional<bool> def = std::nullopt) {
        Ordinal(TTypeKind::tkBoolean, name, get, set,
                def ? std::optional<int64_t>(*def ? 1 : 0) : std::nullopt);
        return *this;
    }
    template <class G, class S>
    TPublished& Color(const std::string& name, G get, S set,
                      std::optional<TColor> def = std::nullopt) {
        Ordinal(TTypeKind::tkColor, name, get, set,
                def ? std::optional<int64_t>(*def) : std::nullopt);
        return *this;
    }
    template <class G, class S>
    TPublished& Float(const std::string& name, G get, S set,
                      std::optional<double> def = std::nullopt) {
        TPropInfo p = Base(TTypeKind::tkFloat, name);
        p.FloatDefault = def;
        p.GetFloat = [get](TPersistent* o) { return double(std::invoke(get, Self(o))); };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetFloat = [set](TPersistent* o, double v) {
                using V = Value<G>;
                if (std::abs(v) > double(std::numeric_limits<V>::max()))
                    throw EPropertyError("Invalid property value");
                std::invoke(set, Self(o), static_cast<V>(v));
            };
        FLast = &AddPublishedProperty(FClassName, std::move(p));
        return *this;
    }
    // Written unless empty.
    template <class G, class S> TPublished& String(const std::string& name, G get, S set) {
        TPropInfo p = Base(TTypeKind::tkString, name);
        p.GetStr = [get](TPersistent* o) { return std::string(std::invoke(get, Self(o))); };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetStr = [set](TPersistent* o, const std::string& v) {
                std::invoke(set, Self(o), v);
            };
        FLast = &AddPublishedProperty(FClassName, std::move(p));
        return *this;
    }
    template <class G, class S> TPublished& WideString(const std::string& name, G get, S set) {
        TPropInfo p = Base(TTypeKind::tkWString, name);
        p.GetWStr = [get](TPersistent* o) { return std::u16string(std::invoke(get, Self(o))); };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetWStr = [set](TPersistent* o, const std::u16string& v) {
                std::invoke(set, Self(o), v);
            };
        FLast = &AddPublishedProperty(FClassName, std::move(p));
        return *this;
    }
    // A sub-object written as dotted paths ("T.Options"), or as a collection when it is one.
    template <class G> TPublished& Object(const std::string& name, G get) {
        TPropInfo p = Base(TTypeKind::tkClass, name);
        p.GetObj = [get](TPersistent* o) -> TPersistent* { return std::invoke(get, Self(o)); };
        FLast = &AddPublishedProperty(FClassName, std::move(p));
        return *this;
    }
    // A reference to another component, written as its name and resolved among the components
    // of the stream's root when read.
    template <class T, class G, class S>
    TPublished& Reference(const std::string& name, G get, S set) {
        TPropInfo p = Base(TTypeKind::tkClass, name);
        p.IsReference = true;
        p.GetObj = [get](TPersistent* o) -> TPersistent* { return std::invoke(get, Self(o)); };
        p.SetObj = [set](TPersistent* o, TPersistent* v) {
            T* t = dynamic_cast<T*>(v);
            if (v && !t) throw EPropertyError("Invalid property value");
            std::invoke(set, Self(o), t);
        };
        FLast = &AddPublishedProperty(FClassName, std::move(p));
        return *this;
    }
    TPublished& Event(const std::string& name) {
        FLast = &AddPublishedProperty(FClassName, Base(TTypeKind::tkMethod, name));
        return *this;
    }
    // Applies to the property registered last: narrows the integer values a stream may give it
    // (others are an invalid property value, refused before the setter runs).
    TPublished& Range(int64_t minValue, int64_t maxValue) {
        if (FLast) {
            FLast->MinValue = std::max(FLast->MinValue, minValue);
            FLast->MaxValue = std::min(FLast->MaxValue, maxValue);
        }
        return *this;
    }
    // Applies to the property registered last.
    TPublished& Stored(bool stored) {
        if (FLast) FLast->Stored = stored;
        return *this;
    }
    template <class F> TPublished& StoredIf(F isStored) {
        if (FLast)
            FLast->IsStored = [isStored](TPersistent* o) {
                return bool(std::invoke(isStored, Self(o)));
            };
        return *this;
    }

private:
    template <class G> using Value = std::decay_t<std::invoke_result_t<G, C&>>;

    static C& Self(TPersistent* o) { return detail::Cast<C>(o); }

    TPropInfo Base(TTypeKind kind, const std::string& name) {
        TPropInfo p;
        p.Name = name;
        p.Kind = kind;
        return p;
    }

    template <class G, class S>
    TPropInfo& Ordinal(TTypeKind kind, const std::string& name, G get, S set,
                       std::optional<int64_t> def) {
        using V = Value<G>;
        TPropInfo p = Base(kind, name);
        p.Default = def;
        p.GetOrd = [get](TPersistent* o) { return detail::ToOrd<V>(std::invoke(get, Self(o))); };
        if constexpr (!std::is_null_pointer_v<S>)
            p.SetOrd = [set](TPersistent* o, int64_t v) {
                std::invoke(set, Self(o), detail::FromOrd<V>(v));
            };
        FLast = &AddPublishedProperty(FClassName, std::move(p));
        return *FLast;
    }

    std::string FClassName;
    TPropInfo* FLast = nullptr;
};

} // namespace epc
