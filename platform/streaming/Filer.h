#pragma once
// Component streams in the binary "TPF0" format: a signature, then one component record (class
// name, component name, properties, end marker, child records, end marker). Every property is
// its name followed by a value that starts with a value-kind byte. Published properties come
// from the property registry; a class adds custom ones through DefineProperties.
//
// Reading marks each component csLoading and csReading; when the outermost read is complete,
// Loaded is called once for every component read, children before their parent (a parent's
// Loaded can rely on its children being finished). On a failed read, a failing Loaded included,
// the components the reader created are freed and the states of the others are cleared; the
// failure is an EReadError (memory running out in Loaded too).

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Streams.h"

namespace epc {

struct TPropInfo;
class TReader;
class TReaderCreated;
class TWriter;

enum class TValueType : uint8_t {
    vaNull = 0, // also the end of a list
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
};

// The four bytes every component stream starts with.
inline constexpr char FilerSignature[4] = {'T', 'P', 'F', '0'};

// Records nest at most this deep (components in components, lists in lists, sub-objects in
// sub-objects); deeper input is rejected instead of exhausting the stack.
inline constexpr int MaxFilerDepth = 64;

using TReaderProc = std::function<void(TReader& reader)>;
using TWriterProc = std::function<void(TWriter& writer)>;
using TStreamProc = std::function<void(TStream& stream)>;

class TFiler : public TObject {
public:
    explicit TFiler(TStream& stream) : FStream(&stream) {}
    std::string ClassName() const override { return "TFiler"; }

    // A custom property: the writer calls WriteData when HasData is true; the reader calls
    // ReadData when the stream holds a property of this name.
    virtual void DefineProperty(const std::string& name, TReaderProc readData,
                                TWriterProc writeData, bool hasData) = 0;
    // A custom property whose value is a block of bytes (an int32 length, then the bytes).
    virtual void DefineBinaryProperty(const std::string& name, TStreamProc readData,
                                      TStreamProc writeData, bool hasData) = 0;

    TStream& Stream() const { return *FStream; }
    // The component the outermost record belongs to.
    TComponent* Root() const { return FRoot; }
    void SetRoot(TComponent* value) { FRoot = value; }

protected:
    TStream* FStream;
    TComponent* FRoot = nullptr;
};

class TWriter : public TFiler {
public:
    explicit TWriter(TStream& stream) : TFiler(stream) {}
    std::string ClassName() const override { return "TWriter"; }

    void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                              bool hasData) override;

    void WriteSignature();
    // The signature, then the component's record with the component as root.
    void WriteRootComponent(TComponent* root);
    // One component record (no signature): header, properties, children.
    void WriteComponent(TComponent* component);
    // The stored published and custom properties of an object, names prefixed by the current
    // path (a sub-object's properties are written as "Parent.Prop").
    void WriteProperties(TPersistent* instance);
    void WriteCollection(TCollection* value);

    void WriteValue(TValueType value);
    void WriteListBegin() { WriteValue(TValueType::vaList); }
    void WriteListEnd() { WriteValue(TValueType::vaNull); }
    // The smallest of int8, int16, int32 (and int64 beyond) that holds the value.
    void WriteInteger(int64_t value);
    void WriteBoolean(bool value);
    void WriteSingle(float value);
    // A byte string: vaString up to 255 bytes, vaLString beyond.
    void WriteString(const std::string& value);
    void WriteWideString(const std::u16string& value);
    void WriteUTF8String(const std::string& value);
    void WriteIdent(const std::string& ident);
    // A set as the identifiers of its elements (bit n names idents[n]).
    void WriteSet(uint64_t bits, const std::vector<std::string>& idents);
    void WriteBinary(const std::string& bytes);
    // A length byte and up to 255 bytes, as names are stored.
    void WriteStr(const std::string& value);
    void WritePropName(const std::string& name);
    void Write(const void* buffer, int64_t count) { FStream->WriteBuffer(buffer, count); }

private:
    void WriteProperty(TPersistent* instance, const TPropInfo& prop);

    std::string FPropPath;
    int FDepth = 0;
};

class TReader : public TFiler {
public:
    explicit TReader(TStream& stream) : TFiler(stream) {}
    std::string ClassName() const override { return "TReader"; }

    void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                              bool hasData) override;

    // Owner of the components the reader creates for top-level records, and the parent given
    // to a component that has one (SetParentComponent). Records nested in a record (children,
    // or components a custom property reads) get the root as owner and that record's component
    // as parent.
    TComponent* Owner() const { return FOwner; }
    void SetOwner(TComponent* value) { FOwner = value; }
    TComponent* Parent() const { return FParent; }
    void SetParent(TComponent* value) { FParent = value; }

    // Raises EReadError "Invalid stream format" unless the next four bytes are "TPF0".
    void ReadSignature();
    // The signature, then a component record read into Root, or into a new component of the
    // stream's class when Root is null.
    TComponent* ReadRootComponent(TComponent* root);
    // One component record into Component, or into a new one of the stream's class (which must
    // be registered) when Component is null. Returns the component read.
    TComponent* ReadComponent(TComponent* component);
    // Properties of an object up to the end marker (which is consumed).
    void ReadProperties(TPersistent* instance);
    void ReadCollection(TCollection* collection);

    TValueType ReadValue();
    // The next value kind, without consuming it.
    TValueType NextValue();
    void CheckValue(TValueType value);
    bool EndOfList() { return NextValue() == TValueType::vaNull; }
    void ReadListBegin() { CheckValue(TValueType::vaList); }
    void ReadListEnd() { CheckValue(TValueType::vaNull); }
    // Any integer kind that fits 32 bits.
    int32_t ReadInteger();
    int64_t ReadInt64();
    bool ReadBoolean();
    // A single, an extended or an integer, as a finite number.
    double ReadFloat();
    // Any string kind, as bytes; wide and UTF-8 text converted to the ANSI code page.
    std::string ReadString();
    // Any string kind as UTF-16.
    std::u16string ReadWideString();
    // An identifier (False, True, nil and Null for their own kinds).
    std::string ReadIdent();
    // A set's identifiers in stored order.
    std::vector<std::string> ReadSetIdents();
    // A binary value's bytes.
    std::string ReadBinary();
    // Discards one value of any kind.
    void SkipValue();
    // Inside DefineProperties while reading: whether the property being read is still
    // unclaimed (a class that knows all its properties can refuse the rest).
    bool PropertyPending() const { return !FPropName.empty(); }
    std::string ReadStr();
    void Read(void* buffer, int64_t count);

private:
    friend struct ReaderScope;
    void ReadProperty(TPersistent* instance);
    void ReadPropValue(TPersistent* instance, const TPropInfo& prop);
    TComponent* ReadComponentRecord(TComponent* component);
    int32_t ReadLength();
    uint8_t ReadByte();
    void Enter();
    void Leave() { --FDepth; }

    TComponent* FOwner = nullptr;
    TComponent* FParent = nullptr;
    std::string FPropName;  // a custom property waiting for its DefineProperty
    std::string FErrorName; // "Component.Prop" for error messages
    int FDepth = 0;
    int FRecordDepth = 0;
    std::vector<TComponent*> FLoaded;  // in the order their records ended
    std::vector<TComponent*> FCreated; // made by this reader during the outermost read
    std::vector<TComponent*> FTouched; // given to the reader, states to clear on failure
    // Components given to the reader that a record moved, with the parent they had before.
    std::vector<std::pair<TComponent*, TComponent*>> FMoved;
    TReaderCreated* FAlive = nullptr; // which of FCreated are still there
};

// The stream forms of a component, as one call: the signature and the record.
void WriteComponent(TStream& stream, TComponent* instance);
TComponent* ReadComponent(TStream& stream, TComponent* instance, TComponent* owner = nullptr,
                          TComponent* parent = nullptr);

} // namespace epc
