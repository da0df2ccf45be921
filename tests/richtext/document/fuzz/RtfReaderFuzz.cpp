// Feeds arbitrary bytes to the RTF reader inserting into a small document.

#include <cstdint>
#include <string>
#include <vector>

#include "richtext/document/RVRTFReader.h"

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    seeds.push_back(
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Times;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "\\pard\\qj\\li200\\fi-100\\sb60 Text {\\b\\i\\ul\\fs30\\cf2\\highlight1 styled}"
        " \\'e9\\u1055?\\uc0\\u1056 \\line next\\par{\\*\\unknown skipped}"
        "{\\pict\\pngblip 89504e47}\\page last\\tab\\emdash\\par}");
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("Hello", 0, 0, TRVTag());
    data.AddTextParagraphW(u"\u00E9t\u00E9", 0, 0, TRVTag());
    data.AddBreak();
    TMemoryStream ms;
    data.WriteRtfToStream(ms, false, clWhite);
    seeds.push_back(ms.DataString());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("a", 0, 0, TRVTag());
    data.AddTextParagraph("b", 0, 0, TRVTag());
    TStringStream in(std::string(reinterpret_cast<const char*>(bytes), size));
    TRVRTFReaderProperties props;
    int index = 1;
    int result = props.ImportRtfStream(&data, in, index);
    if (result != rtf_ec_OK && data.ItemCount() != 2) __builtin_trap();
    TMemoryStream out;
    data.WriteTextToStream(out, "", 10, false, true);
    return 0;
}
