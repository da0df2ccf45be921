#pragma once
// Maps control names to help contexts, read from a help project's map file: "[MAP]" sections
// of "name value" or "name=value" lines, "#define name value" lines, "#include" of further
// map files, ";" and "#" comments. The pairs are kept as 8-byte records (int32 hash of the
// name, int32 context) sorted by hash, and stored with the form as the binary "FileData".

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Streams.h"

namespace epc {

// A file name, as the framework types the properties that hold one.
using TFileName = std::string;

using TContextPairs = std::vector<std::pair<int32_t, int32_t>>; // (hash, context)

class THelpContextMap : public TComponent {
public:
    explicit THelpContextMap(TComponent* owner) : TComponent(owner) {
        // The owner's components heard of this one while it was still being built; they hear
        // again now that it is a map (a What's-this component takes the first one added).
        if (owner) owner->Notification(this, TOperation::opInsert);
    }
    std::string ClassName() const override { return "THelpContextMap"; }

    const TFileName& FileName() const { return FFileName; }
    // Reads the map file (not while the form loads): raises Exception "File <name> not
    // found." for a missing file and EConvertError for a bad number; on any failure the
    // stored map is left as it was.
    void SetFileName(const TFileName& value);

    // The context of a name (0 for an empty name, an empty map or an unknown name).
    int32_t LookupContext(const std::string& name) const;
    int Count() const { return int(FData.size() / 8); }
    // The records, as stored.
    const std::string& Data() const { return FData; }

    // Adds the pairs of one map file. Lines count inside "[MAP]" (or everywhere in an
    // included file); a file already being parsed further up is not parsed again, so a file
    // including itself cannot recurse. A missing include shows a message box and parsing
    // goes on.
    void ParseMapFile(const std::string& fileName, bool isInclude, TContextPairs& pairs);

    void DefineProperties(TFiler* filer) override;

private:
    void StorePairs(TContextPairs& pairs);
    void ReadFileData(TStream& stream);
    void WriteFileData(TStream& stream);

    TFileName FFileName;
    std::string FData;
    std::vector<std::string> FParsing; // files being parsed, outermost first
};

} // namespace epc
