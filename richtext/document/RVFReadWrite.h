#pragma once
// RVF text helpers shared by the document's reader and writer and the item classes of higher
// layers (lines, quoting, hexadecimal and binary bodies, record headers).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/Streams.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVStyle.h"
#include "richtext/document/RVTypes.h"

namespace epc {

// RVF helpers shared with item classes of higher layers.
std::string RVFParaNoToString(int paraNo, TRVStyle* style, bool useStyleNames);
std::string RVFTagToString(const TRVTag& tag, bool tagsArePChars);
void RVFWriteLine(TStream& stream, const std::string& s);
void RVFWriteRaw(TStream& stream, const std::string& s);
// The record header "%d %d %s %d %d %s %s".
std::string RVFItemHeader(int styleNo, int lineCount, const std::string& paraRef, uint8_t options,
                          int mode, const std::string& tag, const std::string& extra);
// One-line text form of arbitrary bytes: backslash, CR and LF escaped.
std::string RVFEscapeLine(const std::string& s);
// Decodes a line RVFEscapeLine made; a line holding any other backslash pair (or a backslash at
// its end) is taken as it stands. Always true.
bool RVFUnescapeLine(std::string_view s, std::string& out);
// Quoted string token: '"' doubled inside, backslash, CR and LF escaped.
std::string RVFQuote(const std::string& s);
std::string BytesToHex(const std::string& bytes);
bool HexToBytes(std::string_view hex, std::string& bytes);
// Binary body: int32 length then the bytes.
void RVFWriteBinary(TStream& stream, const std::string& bytes);
void RVFSavePictureBinary(TStream& stream, TGraphic* graphic);
std::unique_ptr<TGraphic> RVFLoadPictureBinary(TStream& stream, const std::string& className);

} // namespace epc
