#include "platform/streaming/Filer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/core/Color.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Strings.h"
#include "platform/streaming/PropertyRegistry.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

namespace {

constexpr const char* SInvalidStreamFormat = "Invalid stream format";
constexpr const char* SInvalidPropertyValue = "Invalid property value";
constexpr const char* SNestingTooDeep = "Invalid stream format: records nested too deep";

constexpr uint8_t ffChildPos = 0x02;

bool IsIntegerKind(TValueType t) {
    return t == TValueType::vaInt8 || t == TValueType::vaInt16 || t == TValueType::vaInt32 ||
           t == TValueType::vaInt64;
}

bool IsStringKind(TValueType t) {
    return t == TValueType::vaString || t == TValueType::vaLString || t == TValueType::vaWString ||
           t == TValueType::vaUTF8String;
}

[[noreturn]] void InvalidValue() {
    throw EReadError(SInvalidPropertyValue);
}

// Clears a component state again when the scope ends, if it was not there before.
class StateScope {
public:
    StateScope(TComponent* c, TComponentStateItem item)
        : FComponent(c), FItem(item), FAdded(!c->ComponentState().Contains(item)) {
        if (FAdded) c->IncludeState(item);
    }
    ~StateScope() {
        if (FAdded) FComponent->ExcludeState(FItem);
    }
    StateScope(const StateScope&) = delete;
    StateScope& operator=(const StateScope&) = delete;

private:
    TComponent* FComponent;
    TComponentStateItem FItem;
    bool FAdded;
};

template <class T> class Restore {
public:
    explicit Restore(T& ref) : FRef(ref), FSaved(ref) {}
    ~Restore() { FRef = FSaved; }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& FRef;
    T FSaved;
};

} // namespace

// Hears of each component the reader created being freed. A failed read frees what it made,
// and a component freed with its parent (a control frees its child controls) must not be
// freed a second time, whatever parents the records gave it.
class TReaderCreated : public TComponent {
public:
    TReaderCreated() : TComponent(nullptr) {}
    ~TReaderCreated() override {
        for (TComponent* c : FAlive)
            RemoveFreeNotification(c);
        FAlive.clear();
    }
    std::string ClassName() const override { return "TReaderCreated"; }

    void Add(TComponent* component) {
        FAlive.push_back(component);
        FreeNotification(component);
    }
    bool Alive(TComponent* component) const {
        return std::find(FAlive.begin(), FAlive.end(), component) != FAlive.end();
    }

    void Notification(TComponent* component, TOperation operation) override {
        if (operation == TOperation::opRemove)
            FAlive.erase(std::remove(FAlive.begin(), FAlive.end(), component), FAlive.end());
        TComponent::Notification(component, operation);
    }

private:
    std::vector<TComponent*> FAlive;
};

// Counts nesting for the reader; too deep a record is rejected before the stack suffers.
struct ReaderScope {
    explicit ReaderScope(TReader& r) : FReader(r) { FReader.Enter(); }
    ~ReaderScope() { FReader.Leave(); }
    ReaderScope(const ReaderScope&) = delete;
    ReaderScope& operator=(const ReaderScope&) = delete;
    TReader& FReader;
};

// ---- TWriter --------------------------------------------------------------------------------

void TWriter::DefineProperty(const std::string& name, TReaderProc, TWriterProc writeData,
                             bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, TStreamProc, TStreamProc writeData,
                                   bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    TMemoryStream data;
    writeData(data);
    WriteBinary(data.DataString());
}

void TWriter::WriteSignature() {
    Write(FilerSignature, 4);
}

void TWriter::WriteRootComponent(TComponent* rootComponent) {
    WriteSignature();
    Restore<TComponent*> root(FRoot);
    FRoot = rootComponent;
    WriteComponent(rootComponent);
}

void TWriter::WriteComponent(TComponent* component) {
    if (!component) throw EWriteError("Cannot write a nil component");
    if (FDepth >= MaxFilerDepth) throw EWriteError("Components nested too deep");
    Restore<int> depth(FDepth);
    ++FDepth;
    Restore<TComponent*> root(FRoot);
    if (!FRoot) FRoot = component;
    Restore<std::string> path(FPropPath);
    FPropPath.clear();
    StateScope writing(component, TComponentStateItem::csWriting);

    WriteStr(component->ClassName());
    WriteStr(component->Name());
    WriteProperties(component);
    WriteListEnd();
    component->GetChildren([this](TComponent* child) { WriteComponent(child); }, FRoot);
    WriteListEnd();
}

void TWriter::WriteProperties(TPersistent* instance) {
    if (!instance) return;
    if (FDepth >= MaxFilerDepth) throw EWriteError("Properties nested too deep");
    Restore<int> depth(FDepth);
    ++FDepth;
    for (const TPropInfo* p : GetPropList(instance->ClassName()))
        WriteProperty(instance, *p);
    instance->DefineProperties(this);
    CallRegisteredDefineProperties(instance, this);
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo& p) {
    if (!p.IsStoredProp(instance)) return;
    if (p.IsOrdinal()) {
        if (!p.GetOrd) return;
        int64_t v = p.GetOrd(instance);
        if (p.Default && *p.Default == v) return;
        switch (p.Kind) {
        case TTypeKind::tkEnumeration: {
            std::string ident = p.Idents ? GetEnumName(*p.Idents, v) : std::string();
            if (ident.empty())
                throw EWriteError("Invalid value " + std::to_string(v) + " of " + p.Name);
            WritePropName(p.Name);
            WriteIdent(ident);
            break;
        }
        case TTypeKind::tkBoolean:
            WritePropName(p.Name);
            WriteBoolean(v != 0);
            break;
        case TTypeKind::tkSet:
            WritePropName(p.Name);
            WriteSet(uint64_t(v), p.Idents ? *p.Idents : TIdentList());
            break;
        case TTypeKind::tkColor: {
            WritePropName(p.Name);
            auto ident = ColorToIdent(TColor(v));
            if (ident)
                WriteIdent(*ident);
            else
                WriteInteger(TColor(v));
            break;
        }
        default:
            WritePropName(p.Name);
            WriteInteger(v);
            break;
        }
        return;
    }
    switch (p.Kind) {
    case TTypeKind::tkString:
        if (p.GetStr) {
            std::string s = p.GetStr(instance);
            if (s.empty()) return;
            WritePropName(p.Name);
            WriteString(s);
        }
        break;
    case TTypeKind::tkWString:
        if (p.GetWStr) {
            std::u16string s = p.GetWStr(instance);
            if (s.empty()) return;
            WritePropName(p.Name);
            WriteWideString(s);
        }
        break;
    case TTypeKind::tkFloat:
        if (p.GetFloat) {
            float v = float(p.GetFloat(instance));
            if (p.FloatDefault && v == float(*p.FloatDefault)) return;
            WritePropName(p.Name);
            WriteSingle(v);
        }
        break;
    case TTypeKind::tkClass: {
        TPersistent* obj = p.GetObj ? p.GetObj(instance) : nullptr;
        if (!obj) return;
        if (p.IsReference) {
            auto* c = dynamic_cast<TComponent*>(obj);
            if (!c || c->Name().empty()) return;
            WritePropName(p.Name);
            WriteIdent(c->Name());
        } else if (auto* coll = dynamic_cast<TCollection*>(obj)) {
            WritePropName(p.Name);
            WriteCollection(coll);
        } else {
            Restore<std::string> path(FPropPath);
            FPropPath += p.Name + ".";
            WriteProperties(obj);
        }
        break;
    }
    default: // events are not stored
        break;
    }
}

void TWriter::WriteCollection(TCollection* value) {
    WriteValue(TValueType::vaCollection);
    if (value) {
        Restore<std::string> path(FPropPath);
        FPropPath.clear();
        for (int i = 0; i < value->Count(); ++i) {
            WriteListBegin();
            WriteProperties(value->Items(i));
            WriteListEnd();
        }
    }
    WriteListEnd();
}

void TWriter::WriteValue(TValueType value) {
    uint8_t b = uint8_t(value);
    Write(&b, 1);
}

void TWriter::WriteInteger(int64_t value) {
    uint8_t buf[9];
    int n;
    if (value >= INT8_MIN && value <= INT8_MAX) {
        buf[0] = uint8_t(TValueType::vaInt8);
        n = 1;
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        buf[0] = uint8_t(TValueType::vaInt16);
        n = 2;
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        buf[0] = uint8_t(TValueType::vaInt32);
        n = 4;
    } else {
        buf[0] = uint8_t(TValueType::vaInt64);
        n = 8;
    }
    uint64_t u = uint64_t(value);
    for (int i = 0; i < n; ++i)
        buf[1 + i] = uint8_t(u >> (8 * i));
    Write(buf, 1 + n);
}

void TWriter::WriteBoolean(bool value) {
    WriteValue(value ? TValueType::vaTrue : TValueType::vaFalse);
}

void TWriter::WriteSingle(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    uint8_t buf[5] = {uint8_t(TValueType::vaSingle)};
    for (int i = 0; i < 4; ++i)
        buf[1 + i] = uint8_t(bits >> (8 * i));
    Write(buf, 5);
}

namespace {
void WriteInt32LE(TWriter& w, int32_t v) {
    uint8_t b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = uint8_t(uint32_t(v) >> (8 * i));
    w.Write(b, 4);
}

int32_t CheckedLength(size_t n) {
    if (n > size_t(INT32_MAX)) throw EWriteError("Value too long to store");
    return int32_t(n);
}
} // namespace

void TWriter::WriteString(const std::string& value) {
    if (value.size() <= 255) {
        WriteValue(TValueType::vaString);
        WriteStr(value);
    } else {
        WriteValue(TValueType::vaLString);
        WriteInt32LE(*this, CheckedLength(value.size()));
        Write(value.data(), int64_t(value.size()));
    }
}

void TWriter::WriteWideString(const std::u16string& value) {
    WriteValue(TValueType::vaWString);
    WriteInt32LE(*this, CheckedLength(value.size()));
    std::string bytes = WideToBytes(value);
    Write(bytes.data(), int64_t(bytes.size()));
}

void TWriter::WriteUTF8String(const std::string& value) {
    WriteValue(TValueType::vaUTF8String);
    WriteInt32LE(*this, CheckedLength(value.size()));
    Write(value.data(), int64_t(value.size()));
}

void TWriter::WriteIdent(const std::string& ident) {
    if (SameText(ident, "False"))
        WriteValue(TValueType::vaFalse);
    else if (SameText(ident, "True"))
        WriteValue(TValueType::vaTrue);
    else if (SameText(ident, "nil"))
        WriteValue(TValueType::vaNil);
    else if (SameText(ident, "Null"))
        WriteValue(TValueType::vaNull);
    else {
        WriteValue(TValueType::vaIdent);
        WriteStr(ident);
    }
}

void TWriter::WriteSet(uint64_t bits, const std::vector<std::string>& idents) {
    WriteValue(TValueType::vaSet);
    for (size_t i = 0; i < idents.size() && i < 64; ++i)
        if (bits & (uint64_t(1) << i)) WriteStr(idents[i]);
    WriteStr(std::string());
}

void TWriter::WriteBinary(const std::string& bytes) {
    WriteValue(TValueType::vaBinary);
    WriteInt32LE(*this, CheckedLength(bytes.size()));
    Write(bytes.data(), int64_t(bytes.size()));
}

void TWriter::WriteStr(const std::string& value) {
    if (value.size() > 255) throw EWriteError("Name too long to store: " + value.substr(0, 32));
    uint8_t n = uint8_t(value.size());
    Write(&n, 1);
    Write(value.data(), n);
}

void TWriter::WritePropName(const std::string& name) {
    WriteStr(FPropPath + name);
}

// ---- TReader --------------------------------------------------------------------------------

void TReader::Enter() {
    if (FDepth >= MaxFilerDepth) throw EReadError(SNestingTooDeep);
    ++FDepth;
}

void TReader::DefineProperty(const std::string& name, TReaderProc readData, TWriterProc, bool) {
    if (FPropName.empty() || !readData || !SameText(name, FPropName)) return;
    FPropName.clear();
    readData(*this);
}

void TReader::DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc,
                                   bool) {
    if (FPropName.empty() || !readData || !SameText(name, FPropName)) return;
    FPropName.clear();
    TStringStream data(ReadBinary());
    readData(data);
}

void TReader::Read(void* buffer, int64_t count) {
    FStream->ReadBuffer(buffer, count);
}

uint8_t TReader::ReadByte() {
    uint8_t b;
    Read(&b, 1);
    return b;
}

int32_t TReader::ReadLength() {
    uint8_t b[4];
    Read(b, 4);
    int32_t n =
        int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    if (n < 0) throw EReadError(SInvalidStreamFormat);
    // A length beyond the end is a truncated stream; refuse before allocating for it.
    if (int64_t(n) > FStream->Size() - FStream->Position()) throw EReadError(SReadError);
    return n;
}

void TReader::ReadSignature() {
    char sig[4];
    if (FStream->Read(sig, 4) != 4 || std::memcmp(sig, FilerSignature, 4) != 0)
        throw EReadError(SInvalidStreamFormat);
}

TValueType TReader::ReadValue() {
    uint8_t b = ReadByte();
    if (b > uint8_t(TValueType::vaUTF8String)) throw EReadError(SInvalidStreamFormat);
    return TValueType(b);
}

TValueType TReader::NextValue() {
    uint8_t b = ReadByte();
    FStream->Seek(-1, TSeekOrigin::soCurrent);
    return TValueType(b);
}

void TReader::CheckValue(TValueType value) {
    if (ReadValue() != value) {
        FStream->Seek(-1, TSeekOrigin::soCurrent);
        InvalidValue();
    }
}

int64_t TReader::ReadInt64() {
    TValueType t = ReadValue();
    int n;
    switch (t) {
    case TValueType::vaInt8:
        n = 1;
        break;
    case TValueType::vaInt16:
        n = 2;
        break;
    case TValueType::vaInt32:
        n = 4;
        break;
    case TValueType::vaInt64:
        n = 8;
        break;
    default:
        InvalidValue();
    }
    uint8_t b[8];
    Read(b, n);
    uint64_t u = 0;
    for (int i = 0; i < n; ++i)
        u |= uint64_t(b[i]) << (8 * i);
    // Sign-extend from the stored width.
    int shift = 64 - 8 * n;
    return int64_t(u << shift) >> shift;
}

int32_t TReader::ReadInteger() {
    int64_t v = ReadInt64();
    if (v < INT32_MIN || v > INT32_MAX) InvalidValue();
    return int32_t(v);
}

bool TReader::ReadBoolean() {
    TValueType t = ReadValue();
    if (t == TValueType::vaTrue) return true;
    if (t == TValueType::vaFalse) return false;
    InvalidValue();
}

double TReader::ReadFloat() {
    TValueType t = NextValue();
    double v;
    if (IsIntegerKind(t)) {
        v = double(ReadInt64());
    } else if (t == TValueType::vaSingle) {
        ReadValue();
        uint8_t b[4];
        Read(b, 4);
        uint32_t bits =
            uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        float f;
        std::memcpy(&f, &bits, 4);
        v = f;
    } else if (t == TValueType::vaExtended) {
        // 80 bits: a 64-bit mantissa with its integer bit, a 15-bit exponent, the sign.
        ReadValue();
        uint8_t b[10];
        Read(b, 10);
        uint64_t mantissa = 0;
        for (int i = 0; i < 8; ++i)
            mantissa |= uint64_t(b[i]) << (8 * i);
        int exponent = int(b[8] | (b[9] & 0x7F) << 8);
        if (exponent == 0x7FFF) InvalidValue(); // infinities and NaNs
        v = std::ldexp(double(mantissa), exponent - 16383 - 63);
        if (b[9] & 0x80) v = -v;
    } else {
        InvalidValue();
    }
    if (!std::isfinite(v)) InvalidValue();
    return v;
}

std::string TReader::ReadStr() {
    uint8_t n = ReadByte();
    std::string s(n, '\0');
    if (n) Read(s.data(), n);
    return s;
}

std::string TReader::ReadString() {
    TValueType t = ReadValue();
    switch (t) {
    case TValueType::vaString:
        return ReadStr();
    case TValueType::vaLString:
    case TValueType::vaUTF8String: {
        int32_t n = ReadLength();
        std::string s(size_t(n), '\0');
        if (n) Read(s.data(), n);
        return t == TValueType::vaUTF8String ? WideToAnsi(Utf8ToUtf16(s)) : s;
    }
    case TValueType::vaWString: {
        int32_t n = ReadLength();
        if (int64_t(n) * 2 > FStream->Size() - FStream->Position()) throw EReadError(SReadError);
        std::string bytes(size_t(n) * 2, '\0');
        if (n) Read(bytes.data(), int64_t(n) * 2);
        return WideToAnsi(BytesToWide(bytes));
    }
    default:
        InvalidValue();
    }
}

std::u16string TReader::ReadWideString() {
    TValueType t = NextValue();
    if (t == TValueType::vaWString) {
        ReadValue();
        int32_t n = ReadLength();
        if (int64_t(n) * 2 > FStream->Size() - FStream->Position()) throw EReadError(SReadError);
        std::string bytes(size_t(n) * 2, '\0');
        if (n) Read(bytes.data(), int64_t(n) * 2);
        return BytesToWide(bytes);
    }
    if (t == TValueType::vaUTF8String) {
        ReadValue();
        int32_t n = ReadLength();
        std::string s(size_t(n), '\0');
        if (n) Read(s.data(), n);
        return Utf8ToUtf16(s);
    }
    return AnsiToWide(ReadString());
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
    case TValueType::vaIdent:
        return ReadStr();
    case TValueType::vaFalse:
        return "False";
    case TValueType::vaTrue:
        return "True";
    case TValueType::vaNil:
        return "nil";
    case TValueType::vaNull:
        return "Null";
    default:
        InvalidValue();
    }
}

std::vector<std::string> TReader::ReadSetIdents() {
    CheckValue(TValueType::vaSet);
    std::vector<std::string> idents;
    for (;;) {
        std::string s = ReadStr();
        if (s.empty()) break;
        idents.push_back(std::move(s));
    }
    return idents;
}

std::string TReader::ReadBinary() {
    CheckValue(TValueType::vaBinary);
    int32_t n = ReadLength();
    std::string s(size_t(n), '\0');
    if (n) Read(s.data(), n);
    return s;
}

void TReader::SkipValue() {
    ReaderScope scope(*this);
    auto skip = [this](int64_t n) {
        if (n > FStream->Size() - FStream->Position()) throw EReadError(SReadError);
        FStream->Seek(n, TSeekOrigin::soCurrent);
    };
    switch (ReadValue()) {
    case TValueType::vaNull:
    case TValueType::vaFalse:
    case TValueType::vaTrue:
    case TValueType::vaNil:
        break;
    case TValueType::vaList:
        while (!EndOfList())
            SkipValue();
        ReadListEnd();
        break;
    case TValueType::vaInt8:
        skip(1);
        break;
    case TValueType::vaInt16:
        skip(2);
        break;
    case TValueType::vaInt32:
    case TValueType::vaSingle:
        skip(4);
        break;
    case TValueType::vaInt64:
    case TValueType::vaCurrency:
    case TValueType::vaDate:
        skip(8);
        break;
    case TValueType::vaExtended:
        skip(10);
        break;
    case TValueType::vaString:
    case TValueType::vaIdent:
        skip(ReadByte());
        break;
    case TValueType::vaBinary:
    case TValueType::vaLString:
    case TValueType::vaUTF8String:
        skip(ReadLength());
        break;
    case TValueType::vaWString:
        skip(int64_t(ReadLength()) * 2);
        break;
    case TValueType::vaSet:
        while (!ReadStr().empty()) {
        }
        break;
    case TValueType::vaCollection:
        while (!EndOfList()) {
            if (IsIntegerKind(NextValue())) ReadInt64();
            ReadListBegin();
            while (!EndOfList()) {
                ReadStr();
                SkipValue();
            }
            ReadListEnd();
        }
        ReadListEnd();
        break;
    }
}

void TReader::ReadProperties(TPersistent* instance) {
    ReaderScope scope(*this);
    while (!EndOfList())
        ReadProperty(instance);
    ReadListEnd();
}

void TReader::ReadProperty(TPersistent* instance) {
    std::string name = ReadStr();
    if (name.empty()) throw EReadError(SInvalidStreamFormat);
    Restore<std::string> errorName(FErrorName);
    std::string context = FErrorName + "." + name;

    // Walk a dotted path through the sub-objects; a path that leads nowhere is skipped.
    TPersistent* obj = instance;
    size_t start = 0;
    for (size_t dot; obj && (dot = name.find('.', start)) != std::string::npos; start = dot + 1) {
        const TPropInfo* p = GetPropInfo(obj, name.substr(start, dot - start));
        if (!p || p->Kind != TTypeKind::tkClass || p->IsReference || !p->GetObj)
            obj = nullptr;
        else
            obj = p->GetObj(obj);
    }
    std::string last = obj ? name.substr(start) : std::string();
    if (last.empty()) {
        SkipValue();
        return;
    }
    const TPropInfo* p = GetPropInfo(obj, last);
    FErrorName = context;
    try {
        if (p && p->Kind == TTypeKind::tkMethod) {
            SkipValue();
        } else if (p) {
            ReadPropValue(obj, *p);
        } else {
            FPropName = last;
            obj->DefineProperties(this);
            if (!FPropName.empty()) CallRegisteredDefineProperties(obj, this);
            if (!FPropName.empty()) { // nobody claimed it: an unknown property
                FPropName.clear();
                SkipValue();
            }
        }
    } catch (EReadError& e) {
        // A custom property's own reader raises its own messages; they pass unchanged.
        if (!p || e.Message().rfind("Error reading ", 0) == 0) throw;
        throw EReadError("Error reading " + context + ": " + e.Message());
    } catch (Exception& e) {
        throw EReadError("Error reading " + context + ": " + e.Message());
    }
}

void TReader::ReadPropValue(TPersistent* instance, const TPropInfo& p) {
    TValueType t = NextValue();
    switch (p.Kind) {
    case TTypeKind::tkInteger: {
        if (!IsIntegerKind(t)) InvalidValue();
        int64_t v = ReadInt64();
        if (v < p.MinValue || v > p.MaxValue) InvalidValue();
        if (p.SetOrd) p.SetOrd(instance, v);
        break;
    }
    case TTypeKind::tkEnumeration: {
        if (t != TValueType::vaIdent) InvalidValue();
        int v = p.Idents ? GetEnumValue(*p.Idents, ReadIdent()) : -1;
        if (v < 0) InvalidValue();
        if (p.SetOrd) p.SetOrd(instance, v);
        break;
    }
    case TTypeKind::tkBoolean: {
        bool v = ReadBoolean();
        if (p.SetOrd) p.SetOrd(instance, v ? 1 : 0);
        break;
    }
    case TTypeKind::tkSet: {
        uint64_t bits = 0;
        for (const std::string& ident : ReadSetIdents()) {
            int v = p.Idents ? GetEnumValue(*p.Idents, ident) : -1;
            if (v >= 0 && v < 64) bits |= uint64_t(1) << v; // unknown names are skipped
        }
        if (p.SetOrd) p.SetOrd(instance, int64_t(bits));
        break;
    }
    case TTypeKind::tkColor: {
        TColor c;
        if (t == TValueType::vaIdent) {
            auto v = IdentToColor(ReadIdent());
            if (!v) InvalidValue();
            c = *v;
        } else if (IsIntegerKind(t)) {
            int64_t v = ReadInt64();
            if (v < INT32_MIN || v > int64_t(UINT32_MAX)) InvalidValue();
            c = TColor(uint32_t(v));
        } else {
            InvalidValue();
        }
        if (p.SetOrd) p.SetOrd(instance, c);
        break;
    }
    case TTypeKind::tkFloat: {
        double v = ReadFloat();
        if (p.SetFloat) p.SetFloat(instance, v);
        break;
    }
    case TTypeKind::tkString: {
        if (!IsStringKind(t)) InvalidValue();
        std::string s = ReadString();
        if (p.SetStr) p.SetStr(instance, s);
        break;
    }
    case TTypeKind::tkWString: {
        if (!IsStringKind(t)) InvalidValue();
        std::u16string s = ReadWideString();
        if (p.SetWStr) p.SetWStr(instance, s);
        break;
    }
    case TTypeKind::tkClass: {
        if (t == TValueType::vaCollection && !p.IsReference) {
            auto* coll = dynamic_cast<TCollection*>(p.GetObj ? p.GetObj(instance) : nullptr);
            if (!coll) InvalidValue();
            ReadCollection(coll);
        } else if (p.IsReference && t == TValueType::vaNil) {
            ReadValue();
            if (p.SetObj) p.SetObj(instance, nullptr);
        } else if (p.IsReference && t == TValueType::vaIdent) {
            // Resolved among the root's components; a name not (yet) there is left alone.
            std::string ident = ReadIdent();
            TComponent* target = nullptr;
            if (FRoot)
                target = SameText(FRoot->Name(), ident) ? FRoot : FRoot->FindComponent(ident);
            if (target && p.SetObj) p.SetObj(instance, target);
        } else {
            InvalidValue();
        }
        break;
    }
    case TTypeKind::tkMethod:
        SkipValue();
        break;
    }
}

void TReader::ReadCollection(TCollection* collection) {
    ReaderScope scope(*this);
    CheckValue(TValueType::vaCollection);
    collection->BeginUpdate();
    auto endUpdate = Finally([&] { collection->EndUpdate(); });
    collection->Clear();
    while (!EndOfList()) {
        if (IsIntegerKind(NextValue())) ReadInt64(); // stored order, not needed
        ReadListBegin();
        Restore<std::string> errorName(FErrorName);
        FErrorName += '[';
        FErrorName += std::to_string(collection->Count());
        FErrorName += ']';
        ReadProperties(collection->Add());
    }
    ReadListEnd();
}

TComponent* TReader::ReadRootComponent(TComponent* root) {
    ReadSignature();
    return ReadComponent(root);
}

TComponent* TReader::ReadComponent(TComponent* component) {
    if (FRecordDepth > 0) return ReadComponentRecord(component);

    // The outermost record: it owns the bookkeeping for Loaded and for clean-up on failure.
    TComponent* savedRoot = FRoot;
    FLoaded.clear();
    FCreated.clear();
    FTouched.clear();
    FMoved.clear();
    TReaderCreated alive;
    Restore<TReaderCreated*> watch(FAlive);
    FAlive = &alive;
    // On failure: what was only touched leaves the reading states and goes back to the parent
    // it had, what was made is freed, each exactly once.
    auto rollBack = Finally([&] {
        auto created = [&](TComponent* c) {
            return std::find(FCreated.begin(), FCreated.end(), c) != FCreated.end();
        };
        for (TComponent* c : FTouched)
            if (!created(c)) {
                c->ExcludeState(TComponentStateItem::csReading);
                c->ExcludeState(TComponentStateItem::csLoading);
            }
        for (auto it = FMoved.rbegin(); it != FMoved.rend(); ++it)
            if (it->second && !created(it->second)) it->first->SetParentComponent(it->second);
        std::vector<TComponent*> made = std::move(FCreated);
        FLoaded.clear();
        FCreated.clear();
        FTouched.clear();
        FMoved.clear();
        FRoot = savedRoot;
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            if (alive.Alive(*it)) FreeComponent(*it);
    });
    TComponent* result = ReadComponentRecord(component);
    FRoot = savedRoot;
    std::vector<TComponent*> loaded = std::move(FLoaded);
    FLoaded.clear();
    // What a component builds from what it read is part of the read: when that fails, what
    // was made goes as for any other bad input, and running out of memory is a read error.
    for (TComponent* c : loaded) {
        try {
            c->Loaded();
        } catch (const EOutOfMemory& e) {
            throw EReadError("Error reading " + c->Name() + ": " + e.Message());
        } catch (const std::bad_alloc&) {
            throw EReadError("Error reading " + c->Name() + ": Out of memory");
        }
    }
    rollBack.Dismiss();
    FCreated.clear();
    FTouched.clear();
    FMoved.clear();
    return result;
}

TComponent* TReader::ReadComponentRecord(TComponent* component) {
    ReaderScope scope(*this);
    Restore<int> recordDepth(FRecordDepth);
    ++FRecordDepth;

    // An optional flags byte (0xF0 | flags) comes before the class name.
    uint8_t prefix = uint8_t(NextValue());
    if ((prefix & 0xF0) == 0xF0) {
        ReadByte();
        if (prefix & ffChildPos) ReadInt64();
    }
    std::string className = ReadStr();
    if (className.empty()) throw EReadError(SInvalidStreamFormat);
    std::string name = ReadStr();

    if (!component) {
        if (FRoot && !name.empty()) component = FRoot->FindComponent(name);
        if (!component) {
            try {
                component = CreateComponentByClassName(className, FRoot ? FRoot : FOwner);
            } catch (EReadError&) {
                throw;
            } catch (Exception& e) {
                throw EReadError(e.Message());
            }
            if (!component) throw EReadError(FormatMessage("Class %s not found", className));
            FCreated.push_back(component);
            if (FAlive) FAlive->Add(component);
        }
    }
    FTouched.push_back(component);
    if (!FRoot) FRoot = component;
    component->IncludeState(TComponentStateItem::csLoading);
    component->IncludeState(TComponentStateItem::csReading);

    if (!name.empty() && name != component->Name()) {
        try {
            component->SetName(name);
        } catch (Exception& e) {
            throw EReadError("Error reading " + className + ".Name: " + e.Message());
        }
    }
    if (FParent && component->HasParent() && component->GetParentComponent() != FParent) {
        // A record naming a component already there moves it; never under itself or under
        // one of its own descendants, which would make a parent cycle.
        for (TComponent* p = FParent; p; p = p->GetParentComponent())
            if (p == component) {
                const std::string& shown = name.empty() ? className : name;
                throw EReadError("Error reading " + shown + ": " + shown +
                                 " cannot be placed inside itself or inside what it contains");
            }
        if (std::find(FCreated.begin(), FCreated.end(), component) == FCreated.end())
            FMoved.emplace_back(component, component->GetParentComponent());
        component->SetParentComponent(FParent);
    }

    // Records nested in this one, as children or inside its custom properties, belong to it.
    Restore<TComponent*> parent(FParent);
    FParent = component;
    {
        Restore<std::string> errorName(FErrorName);
        FErrorName = name.empty() ? className : name;
        ReadProperties(component);
    }
    while (!EndOfList())
        ReadComponentRecord(nullptr);
    ReadListEnd();
    component->ExcludeState(TComponentStateItem::csReading);
    if (std::find(FLoaded.begin(), FLoaded.end(), component) == FLoaded.end())
        FLoaded.push_back(component);
    return component;
}

// ---- stream helpers -------------------------------------------------------------------------

void WriteComponent(TStream& stream, TComponent* instance) {
    TWriter writer(stream);
    writer.WriteRootComponent(instance);
}

TComponent* ReadComponent(TStream& stream, TComponent* instance, TComponent* owner,
                          TComponent* parent) {
    TReader reader(stream);
    reader.SetOwner(owner);
    reader.SetParent(parent);
    return reader.ReadRootComponent(instance);
}

} // namespace epc
