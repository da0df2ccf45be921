#pragma once
// Builds documents holding every item kind and dumps documents to comparable text.

#include <string>

#include "richtext/document/RVData.h"

namespace epc::doctest {

// A sheet with plain, bold, Unicode and hyperlink text styles, two paragraph styles (one with
// border and background) and a two-level numbered list.
void FillStyle(TRVStyle& style);

// A 24-bit bitmap filled with Color, its top-left pixel black.
std::unique_ptr<TGraphic> MakeBitmap(int w, int h, TColor color);

// Every item kind: ANSI and Unicode text, break, picture, hot picture, bullet, hotspot,
// control, list markers; checkpoints (with a document-end one) and tags.
void FillDocument(TCustomRVData& data, bool stringTags);

// One line per item (class, numbers, option bits, tag, text bytes in hex, kind-specific
// fields, checkpoint) plus the checkpoint chain and markers.
std::string Dump(const TCustomRVData& data);

} // namespace epc::doctest
