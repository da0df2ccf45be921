// Feeds arbitrary bytes to the RTF reader inserting into a small document, with the table unit's
// reader building tables.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "richtext/document/RVRTFReader.h"
#include "richtext/table/RVTable.h"

using namespace epc;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    seeds.push_back(
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Times;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "\\pard\\qj\\li200\\fi-100\\sb60 Text {\\b\\i\\ul\\fs30\\cf2\\highlight1 styled}"
        " \\'e9\\u1055?\\uc0\\u1056 \\line next\\par{\\*\\unknown skipped}"
        "{\\pict\\pngblip 89504e47}\\page last\\tab\\emdash\\par}");
    seeds.push_back(
        "{\\rtf1\\ansicpg1251\\deff1{\\fonttbl{\\f0{\\*\\panose 0}Arial;}{\\f1\\cpg932 G;}}"
        "{\\stylesheet{\\s1\\qc\\brdrb\\brdrs\\brdrw15 H;}}\\s1\\f1\\'93\\'fa"
        "{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt{\\ul l}}}{\\*\\bkmkstart b}"
        "\\trowd\\cellx100\\intbl c\\cell\\row\\pard\\pagebb\\richviewhr\\par"
        "{\\*\\shppict{\\pict\\pngblip\\picwgoal30\\bin4 \x89PNG}}\\sl360\\slmult1 x\\par}");
    // Names and targets with \uN and fallbacks, table and cell borders, shifted text, direction,
    // included pictures.
    seeds.push_back(
        "{\\rtf1\\ansi\\uc1{\\fonttbl{\\f0\\fcharset0 D\\'e9j\\u224\\'e0 S;}}"
        "{\\colortbl;\\red0\\green0\\blue255;}{\\stylesheet{\\s1\\rtlpar St\\u252\\'fcl;}}"
        "{\\*\\bkmkstart Z\\u252\\'fcr}{\\field{\\*\\fldinst HYPERLINK \"a/\\uc2\\u228\\'c3\\'a4\"}"
        "{\\fldrslt l}}E=mc{\\super 2}H{\\sub 2}\\nosupersub O\\par\\pard\\rtlpar r\\par"
        "\\trowd\\trbrdrl\\brdrs\\brdrw30\\brdrcf1\\clbrdrt\\brdroutset\\brdrw15\\clbrdrb"
        "\\brdrnone\\cellx900\\pard\\intbl c\\cell\\row"
        "{\\field{\\*\\fldinst INCLUDEPICTURE \"x.png\"}{\\fldrslt}}\\par}");
    TRVStyle style(nullptr);
    TRVDocument data;
    data.SetRVStyle(&style);
    data.AddTextParagraph("Hello", 0, 0, TRVTag());
    data.AddPictureItem("p", std::make_unique<TBitmap>(2, 2, pf24bit), 0, TRVVAlign::rvvaBaseline);
    data.AddTextParagraph("link", 0, -1, TRVTag());
    data.SetCheckpointInfo(1, "cp", TRVTag(), false);
    data.AddTextParagraphW(u"\u00E9t\u00E9", 0, 0, TRVTag());
    data.AddBreak();
    TMemoryStream ms;
    data.WriteRtfToStream(ms, false, clWhite);
    seeds.push_back(ms.DataString());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const bool tables = (RegisterTableItemClass(), true);
    (void)tables;
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
    // Whatever was read can be written again.
    TMemoryStream out;
    data.WriteTextToStream(out, "", 10, false, true);
    data.WriteRtfToStream(out, false, clNone);
    data.WriteHtmlCssToStream(out, "", "", false);
    return 0;
}
