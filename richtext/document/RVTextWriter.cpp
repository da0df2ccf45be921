// Plain-text output of a document, and the item range every writer writes.

#include <algorithm>

#include "platform/core/Strings.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"
#include "richtext/document/RVWriterRange.h"

namespace epc {

namespace rvwriter {

// The item range and offsets to write.
bool OutputRange(const TCustomRVData& data, bool selectionOnly, int& first, int& so, int& last,
                 int& eo) {
    if (data.ItemCount() == 0) return false;
    if (selectionOnly) {
        data.GetSelectionBounds(first, so, last, eo);
        if (first < 0 || last < 0) return false;
        if (first > last || (first == last && so > eo)) {
            std::swap(first, last);
            std::swap(so, eo);
        }
        first = std::clamp(first, 0, data.ItemCount() - 1);
        last = std::clamp(last, 0, data.ItemCount() - 1);
    } else {
        first = 0;
        last = data.ItemCount() - 1;
        so = data.ItemStartOffset(first);
        eo = data.ItemEndOffset(last);
    }
    return true;
}

// The part of item I's text inside the range.
std::string TextPart(const TCustomRVData& data, int i, int first, int so, int last, int eo) {
    const TRVItemEntry& e = data.Items()[i];
    if (i != first && i != last) return e.Text;
    int s = i == first ? std::max(so, 1) : 1;
    int end = i == last ? eo : GetTextCharLength(e.Text, e.Item->ItemOptions) + 1;
    return CopyItemTextChars(e.Text, e.Item->ItemOptions, s, end - s);
}

bool OutsideSelection(bool selectionOnly, int i, int first, int so, int last, int eo) {
    return selectionOnly && first != last && ((i == first && so >= 1) || (i == last && eo <= 0));
}

} // namespace rvwriter

using namespace rvwriter;

bool TCustomRVData::WriteTextToStream(TStream& stream, const std::string&, int lineWidth,
                                      bool selectionOnly, bool unicode) {
    int first, so, last, eo;
    if (!OutputRange(*this, selectionOnly, first, so, last, eo)) return true;
    const std::string crlf = unicode ? std::string("\r\0\n\0", 4) : std::string("\r\n");
    std::string out;
    try {
        for (int i = first; i <= last; ++i) {
            const TRVItemEntry& e = (*FItems)[i];
            TCustomRVItemInfo* item = e.Item.get();
            if (i > first && (!item->GetJoinsPrevious() || item->IsFullLine() ||
                              (i > 0 && GetItem(i - 1)->IsFullLine())))
                out += crlf;
            if (item->StyleNo >= 0) {
                std::string part = TextPart(*this, i, first, so, last, eo);
                uint32_t cp = CodePageOfStyle(item->StyleNo);
                if (item->IsUnicode() && !unicode)
                    part = UnicodeToAnsiCP(part, cp);
                else if (!item->IsUnicode() && unicode)
                    part = AnsiToUnicodeCP(part, cp);
                out += part;
            } else {
                if (OutsideSelection(selectionOnly, i, first, so, last, eo)) continue;
                std::string s;
                if (item->AsText(s, unicode, lineWidth, this, i)) out += s;
            }
        }
        RVFWriteRaw(stream, out);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace epc
