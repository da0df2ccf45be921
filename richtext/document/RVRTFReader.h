#pragma once
// Reading RTF into a document: groups and destinations, font, colour and style tables, 8-bit
// text through the fonts' code pages, Unicode text, character and paragraph formatting, line
// and page breaks, hyperlinks, bookmarks and pictures (PNG, JPEG). Table structure goes to a
// table reader when one is set; without one the text of cells comes in as paragraphs.

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

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
    rtf_ec_NotRtf = 5,        // the data does not start with "{\rtf"
    rtf_ec_InvalidParam = 6,  // a numeric parameter beyond 32 bits
    rtf_ec_InvalidPicture = 7 // picture data that does not decode
};

// Where tables plug into the reader: it is given every table word (\trowd, \cellx, \cell,
// \row, \intbl, \itap, \nestcell, \nestrow and the \tr and \cl words) and says whether it took
// it. Words it leaves are read as the reader does without tables: \cell and \row end a
// paragraph, the rest are ignored. The words of a "\*\nesttableprops" group are read like any
// other; a "\nonesttables" group, the text for readers without nested tables, is skipped.
class TRVRTFTableReader {
public:
    virtual ~TRVRTFTableReader() = default;
    virtual bool TableWord(std::string_view word, bool hasParam, int param) = 0;
    // The document's colour table while table words are read (index 0 is the automatic
    // colour); set by the reader.
    const std::vector<TColor>* Colors = nullptr;
    // Items a word took out of the document before the reading position (cells' items that
    // became one table); the reader moves its position back by as many.
    int ItemsTaken = 0;
    // Where the reader inserts its next item; set by the reader before every word.
    int ItemPosition = 0;
    // After a successful import: builds the tables still open.
    virtual void Finish() {}
};

// Makes the table reader of an import into Data. The unit of the table item registers its
// maker with the item class, so every import reads tables without setting a reader itself.
using TRVRTFTableReaderMaker = std::function<std::unique_ptr<TRVRTFTableReader>(TCustomRVData*)>;
void RVRegisterRTFTableReader(TRVRTFTableReaderMaker maker);

class TRVRTFReaderProperties {
public:
    // Styles used for text when the document has no style sheet.
    int TextStyleNo = 0;
    int ParaStyleNo = 0;
    // Set by an import when what was read needs the whole document formatted again (new
    // styles were added to the sheet).
    bool FullReformat = false;
    // The folder that pictures a field includes by a relative file name are taken from
    // (ending with its separator; empty: the names are used as they are).
    std::string BasePath;
    // The caller's table reader, when it sets one; without one an import makes the registered
    // one.
    TRVRTFTableReader* TableReader = nullptr;

    // Reads RTF into Data at Index (moved past what was inserted); 0 on success. New text and
    // paragraph styles are added to the sheet only when no equal style exists. On an error
    // nothing is inserted and the sheet keeps its styles.
    int ImportRtfStream(TCustomRVData* data, TStream& stream, int& index);
};

} // namespace epc
