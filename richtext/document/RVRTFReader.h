#pragma once
// Reading RTF into a document: text with its character and paragraph formatting, line and
// page breaks. Pictures, tables and other destinations are skipped.

#include "platform/core/Streams.h"
#include "richtext/document/RVData.h"

namespace epc {

// Result codes of ImportRtfStream.
enum TRVRTFErrorCode : int {
    rtf_ec_OK = 0,
    rtf_ec_StackUnderflow = 1, // a closing brace without its group
    rtf_ec_StackOverflow = 2,  // groups nested too deep
    rtf_ec_UnmatchedBrace = 3, // the data ended inside a group
    rtf_ec_InvalidHex = 4,
    rtf_ec_NotRtf = 5, // the data does not start with "{\rtf"
};

class TRVRTFReaderProperties {
public:
    // Styles used for text when the document has no style sheet.
    int TextStyleNo = 0;
    int ParaStyleNo = 0;
    // Set by an import when what was read needs the whole document formatted again (new
    // styles were added to the sheet).
    bool FullReformat = false;

    // Reads RTF into Data at Index (moved past what was inserted). On an error nothing is
    // inserted and the sheet keeps its styles.
    int ImportRtfStream(TCustomRVData* data, TStream& stream, int& index);
};

} // namespace epc
