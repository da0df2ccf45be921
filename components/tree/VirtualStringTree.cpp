// The string tree: texts through events, their measuring and painting, incremental search,
// streaming of the texts, and the text, CSV, HTML and RTF exports.

#include "components/tree/VirtualStringTree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "components/tree/TreeForms.h"
#include "components/tree/VTEditors.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/streaming/Filer.h"
#include "platform/windows/Clipboard.h"
#include "platform/windows/DataTransfer.h"

namespace epc {

namespace {
// Forms holding the tree can be read as soon as the program runs.
[[maybe_unused]] const bool TreeClassesRegistered = (RegisterTreeClasses(), true);
} // namespace

using namespace tree_options;
using S = TVirtualTreeState;

namespace {

// Pixels to twips at the screen's 96 pixels an inch.
constexpr int TwipsPerPixel = 15;

std::string HtmlColor(TColor color) {
    const COLORREF rgb = ColorToRGB(color);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", unsigned(GetRValue(rgb)),
                  unsigned(GetGValue(rgb)), unsigned(GetBValue(rgb)));
    return buffer;
}

std::string HtmlEscape(const std::u16string& text) {
    std::string out;
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string RtfEscape(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c == u'\n') {
            out += "\\line ";
        } else if (c == u'\r') {
            continue;
        } else if (c < 0x80) {
            out += char(c);
        } else {
            // Signed 16-bit values, each followed by the one fallback character \uc1 promises.
            out += "\\u" + std::to_string(int(int16_t(c))) + "?";
        }
    }
    return out;
}

const char* HtmlAlign(TAlignment alignment) {
    return alignment == taRightJustify ? "right" : alignment == taCenter ? "center" : "left";
}

HGLOBAL BytesToGlobal(const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    if (void* p = GlobalLock(block)) {
        if (size) std::memcpy(p, bytes, size);
        GlobalUnlock(block);
    }
    return block;
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

// ---- Options ----------------------------------------------------------------------------------

void TCustomStringTreeOptions::SetStringOptions(TVTStringOptions value) {
    if (FStringOptions == value) return;
    FStringOptions = value;
    if (Owner()) Owner()->Invalidate();
}

void TCustomStringTreeOptions::AssignTo(TPersistent* dest) {
    if (auto* target = dynamic_cast<TCustomStringTreeOptions*>(dest))
        target->SetStringOptions(FStringOptions);
    TCustomVirtualTreeOptions::AssignTo(dest);
}

// ---- Construction -----------------------------------------------------------------------------

TCustomVirtualStringTree::TCustomVirtualStringTree(TComponent* owner) : TBaseVirtualTree(owner) {
    UseOptionsClass();
    FWidthOffset = AllocateInternalDataArea(sizeof(int32_t));
    InitializeTreeUnit();
    TClipboardFormatList::AddStringTreeFormats<TCustomVirtualStringTree>(
        TreeUnitState(), "TCustomVirtualStringTree");
}

TCustomVirtualStringTree::~TCustomVirtualStringTree() = default;

TVirtualStringTree::TVirtualStringTree(TComponent* owner) : TCustomVirtualStringTree(owner) {
    UseOptionsClass();
}

std::unique_ptr<TCustomVirtualTreeOptions> TCustomVirtualStringTree::GetOptionsClass() {
    return std::make_unique<TCustomStringTreeOptions>(this);
}

std::unique_ptr<TCustomVirtualTreeOptions> TVirtualStringTree::GetOptionsClass() {
    return std::make_unique<TStringTreeOptions>(this);
}

TCustomStringTreeOptions* TCustomVirtualStringTree::TreeOptions() const {
    return static_cast<TCustomStringTreeOptions*>(TBaseVirtualTree::TreeOptions());
}

void TCustomVirtualStringTree::SetDefaultText(const std::u16string& value) {
    if (FDefaultText == value) return;
    FDefaultText = value;
    for (PVirtualNode run = FirstNodeNoInit(); run; run = NextNodeNoInit(run))
        CachedWidth(run) = 0;
    if (!Loading()) Invalidate();
}

void TCustomVirtualStringTree::DefineProperties(TFiler* filer) {
    TBaseVirtualTree::DefineProperties(filer);
    filer->DefineProperty(
        "WideDefaultText", [this](TReader& r) { SetDefaultText(r.ReadWideString()); },
        [this](TWriter& w) { w.WriteWideString(FDefaultText); }, FDefaultText != u"Node");
    filer->DefineProperty(
        "StringOptions", [this](TReader& r) { ReadOldStringOptions(r.ReadSetIdents()); }, nullptr,
        false);
}

void TCustomVirtualStringTree::ReadOldStringOptions(const std::vector<std::string>& identifiers) {
    static const std::pair<const char*, TOldVTStringOption> old[] = {
        {"soSaveCaptions", TOldVTStringOption::soSaveCaptions},
        {"soShowStaticText", TOldVTStringOption::soShowStaticText}};
    TVTStringOptions options;
    for (const std::string& name : identifiers)
        for (const auto& [ident, value] : old)
            if (name == ident)
                options.Include(value == TOldVTStringOption::soSaveCaptions
                                    ? TVTStringOption::soSaveCaptions
                                    : TVTStringOption::soShowStaticText);
    TreeOptions()->SetStringOptions(options);
}

// ---- Texts ------------------------------------------------------------------------------------

std::u16string TCustomVirtualStringTree::DoGetText(PVirtualNode node, TColumnIndex column,
                                                   TVSTTextType textType) {
    std::u16string text = textType == TVSTTextType::ttNormal ? FDefaultText : std::u16string();
    if (OnGetText) OnGetText(this, node, column, textType, text);
    return text;
}

std::u16string TCustomVirtualStringTree::Text(PVirtualNode node, TColumnIndex column) {
    if (!node || node == RootNode()) return {};
    if (!node->States.Contains(nsInitialized)) InitNode(node);
    return DoGetText(node, column, TVSTTextType::ttNormal);
}

bool TCustomVirtualStringTree::ColumnIsEmpty(PVirtualNode node, TColumnIndex column) {
    return Text(node, column).empty();
}

std::u16string TCustomVirtualStringTree::StaticText(PVirtualNode node, TColumnIndex column) {
    if (!node || node == RootNode()) return {};
    return DoGetText(node, column, TVSTTextType::ttStatic);
}

void TCustomVirtualStringTree::SetText(PVirtualNode node, TColumnIndex column,
                                       const std::u16string& value) {
    DoNewText(node, column, value);
}

void TCustomVirtualStringTree::DoNewText(PVirtualNode node, TColumnIndex column,
                                         const std::u16string& text) {
    if (!node || node == RootNode()) return;
    if (OnNewText) OnNewText(this, node, column, text);
    CachedWidth(node) = 0;
    InvalidateNode(node);
}

void TCustomVirtualStringTree::DoPaintText(PVirtualNode node, TCanvas* canvas, TColumnIndex column,
                                           TVSTTextType textType) {
    if (OnPaintText) OnPaintText(this, canvas, node, column, textType);
}

std::u16string TCustomVirtualStringTree::DoShortenString(TCanvas* canvas, PVirtualNode node,
                                                         TColumnIndex column,
                                                         const std::u16string& s, int width) {
    std::u16string result;
    bool done = false;
    if (OnShortenString) OnShortenString(this, canvas, node, column, s, width, result, done);
    if (done) return result;
    return ShortenString(canvas->Handle(), s, width, UseRightToLeftAlignment());
}

int TCustomVirtualStringTree::DoTextWidth(TCanvas* canvas, PVirtualNode node, TColumnIndex column,
                                          const std::u16string& text) {
    int extent = canvas->TextWidth(text);
    if (OnMeasureTextWidth) OnMeasureTextWidth(this, canvas, node, column, text, extent);
    return extent;
}

void TCustomVirtualStringTree::WatchFont(TCanvas* canvas, const std::function<void()>& proc) {
    TFont* font = canvas->Font();
    TNotifyEvent previous = font->OnChange;
    font->OnChange = [this, previous](TObject* sender) {
        FFontChanged = true;
        if (previous) previous(sender);
    };
    FFontChanged = false;
    auto restore = Finally([&] { font->OnChange = previous; });
    proc();
}

TCanvas* TCustomVirtualStringTree::MeasureCanvas() {
    TCanvas* canvas = FMeasure.Canvas();
    canvas->Font()->Assign(Font());
    return canvas;
}

// ---- Measuring and painting -------------------------------------------------------------------

int TCustomVirtualStringTree::DoGetNodeWidth(PVirtualNode node, TColumnIndex column) {
    const bool main = column == MainColumn() || column == NoColumn;
    if (main && CachedWidth(node) > 0) return CachedWidth(node);
    TCanvas* canvas = MeasureCanvas();
    WatchFont(canvas, [&] { DoPaintText(node, canvas, column, TVSTTextType::ttNormal); });
    const int width = DoTextWidth(canvas, node, column, Text(node, column)) + 2 * TextMargin();
    if (main) CachedWidth(node) = width;
    return width;
}

void TCustomVirtualStringTree::DoPaintNode(TVTPaintInfo& paintInfo) {
    TCanvas* canvas = paintInfo.Canvas;
    PVirtualNode node = paintInfo.Node;
    const TColumnIndex column = paintInfo.Column;
    // The painter gave the canvas the tree font (highlighted when selected); keep that colour.
    const TColor textColor = canvas->Font()->Color();
    WatchFont(canvas, [&] { DoPaintText(node, canvas, column, TVSTTextType::ttNormal); });
    std::u16string text = Text(node, column);
    TRect r = paintInfo.ContentRect;
    r.Left += TextMargin();
    r.Right -= TextMargin();
    const int textWidth = DoTextWidth(canvas, node, column, text);
    if (textWidth > r.Width()) text = DoShortenString(canvas, node, column, text, r.Width());
    UINT flags = DT_NOPREFIX;
    flags |=
        node->States.Contains(nsMultiline) ? UINT(DT_WORDBREAK) : UINT(DT_SINGLELINE | DT_VCENTER);
    if (paintInfo.Alignment == taRightJustify)
        flags |= DT_RIGHT;
    else if (paintInfo.Alignment == taCenter)
        flags |= DT_CENTER;
    SetBkMode(canvas->Handle(), TRANSPARENT);
    RECT textRect = r;
    DrawTextW(canvas->Handle(), text.c_str(), -1, &textRect, flags);

    if (!TreeOptions()->StringOptions().Contains(TVTStringOption::soShowStaticText)) return;
    const std::u16string staticText = StaticText(node, column);
    if (staticText.empty()) return;
    canvas->Font()->Assign(Font());
    canvas->Font()->SetColor(textColor);
    WatchFont(canvas, [&] { DoPaintText(node, canvas, column, TVSTTextType::ttStatic); });
    RECT staticRect = r;
    staticRect.Left = r.Left + std::min(textWidth, r.Width()) + TextMargin();
    if (staticRect.Left < staticRect.Right)
        DrawTextW(canvas->Handle(), staticText.c_str(), -1, &staticRect,
                  DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
}

void TCustomVirtualStringTree::InvalidateNode(PVirtualNode node) {
    if (node && node != RootNode()) CachedWidth(node) = 0;
    TBaseVirtualTree::InvalidateNode(node);
}

void TCustomVirtualStringTree::ReinitNode(PVirtualNode node, bool recursive) {
    if (node && node != RootNode()) CachedWidth(node) = 0;
    TBaseVirtualTree::ReinitNode(node, recursive);
}

void TCustomVirtualStringTree::GetTextInfo(PVirtualNode node, TColumnIndex column, TFont* font,
                                           TRect& r, std::u16string& text) {
    font->Assign(Font());
    // The whole text, also where its cell cuts it (a tooltip shows it in full).
    r = DisplayRect(node, column, true, true);
    text = Text(node, column);
}

std::u16string TCustomVirtualStringTree::DoGetNodeHint(PVirtualNode node, TColumnIndex column) {
    return Text(node, column);
}

std::u16string TCustomVirtualStringTree::DoGetNodeTooltip(PVirtualNode node, TColumnIndex column) {
    return Text(node, column);
}

int TCustomVirtualStringTree::DoIncrementalSearch(PVirtualNode node, const std::u16string& text) {
    if (OnIncrementalSearch) return TBaseVirtualTree::DoIncrementalSearch(node, text);
    return Text(node, FocusedColumn()).starts_with(text) ? 0 : 1;
}

std::unique_ptr<IVTEditLink> TCustomVirtualStringTree::DoCreateEditor(PVirtualNode node,
                                                                      TColumnIndex column) {
    std::unique_ptr<IVTEditLink> link;
    if (OnCreateEditor) OnCreateEditor(this, node, column, link);
    if (!link) link = std::make_unique<TStringEditLink>();
    return link;
}

// ---- Streaming --------------------------------------------------------------------------------

void TCustomVirtualStringTree::WriteChunks(TStream& stream, PVirtualNode node) {
    TBaseVirtualTree::WriteChunks(stream, node);
    if (!TreeOptions()->StringOptions().Contains(TVTStringOption::soSaveCaptions) ||
        !node->States.Contains(nsInitialized))
        return;
    // The main column's text, UTF-16LE without a terminator; none for an empty text.
    const std::u16string text = Text(node, Header()->UseColumns() ? MainColumn() : NoColumn);
    if (text.empty()) return;
    std::vector<uint8_t> chunk(8 + 2 * text.size());
    PutU32(chunk.data(), CaptionChunk);
    PutU32(chunk.data() + 4, uint32_t(2 * text.size()));
    for (size_t k = 0; k < text.size(); ++k) {
        chunk[8 + 2 * k] = uint8_t(text[k]);
        chunk[9 + 2 * k] = uint8_t(text[k] >> 8);
    }
    stream.WriteBuffer(chunk.data(), int64_t(chunk.size()));
}

namespace {

char16_t Utf16At(const std::vector<uint8_t>& body, size_t pos) {
    return char16_t(body[pos] | body[pos + 1] << 8);
}

// Streams of earlier builds held one text per column, each a 32-bit character count followed
// by its characters. A chunk is taken for that layout only when it is such a sequence to the
// byte: its counts would be a caption starting with a character and a NUL, which no caption
// holds.
bool ReadCountedTexts(const std::vector<uint8_t>& body, std::vector<std::u16string>& texts) {
    size_t pos = 0;
    while (body.size() - pos >= 4) {
        const uint32_t length = GetU32(&body[pos]);
        pos += 4;
        if (length > (body.size() - pos) / 2) return false;
        std::u16string text(length, u'\0');
        for (size_t k = 0; k < length; ++k)
            text[k] = Utf16At(body, pos + 2 * k);
        pos += 2 * size_t(length);
        texts.push_back(std::move(text));
    }
    return pos == body.size() && !texts.empty();
}

} // namespace

bool TCustomVirtualStringTree::ReadChunk(TStream& stream, int version, PVirtualNode node,
                                         int chunkId, int chunkSize) {
    if (chunkId != CaptionChunk)
        return TBaseVirtualTree::ReadChunk(stream, version, node, chunkId, chunkSize);
    // The chunk is read only as far as the stream really holds bytes.
    if (chunkSize < 0 || chunkSize > stream.Size() - stream.Position())
        ShowError("Unable to load tree structure, not enough data available.", hcTFStreamTooSmall);
    std::vector<uint8_t> body(static_cast<size_t>(chunkSize));
    if (chunkSize > 0) stream.ReadBuffer(body.data(), chunkSize);
    const bool useColumns = Header()->UseColumns();
    std::vector<std::u16string> texts;
    if (ReadCountedTexts(body, texts)) {
        const size_t columns = size_t(std::max(1, Header()->Columns()->Count()));
        for (size_t i = 0; i < texts.size() && i < columns; ++i)
            DoNewText(node, useColumns ? TColumnIndex(i) : NoColumn, texts[i]);
        return true;
    }
    if (body.size() % 2 != 0)
        ShowError("Unable to load tree structure, structure is corrupt.", hcTFCorruptStream2);
    std::u16string text(body.size() / 2, u'\0');
    for (size_t k = 0; k < text.size(); ++k)
        text[k] = Utf16At(body, 2 * k);
    DoNewText(node, useColumns ? MainColumn() : NoColumn, text);
    return true;
}

// ---- Exports ----------------------------------------------------------------------------------

template <typename Proc>
void TCustomVirtualStringTree::ForEachSource(TVSTTextSourceType source, Proc proc) {
    using TStep = PVirtualNode (TBaseVirtualTree::*)(PVirtualNode);
    auto walk = [&](PVirtualNode first, TStep next) {
        for (PVirtualNode run = first; run; run = (this->*next)(run))
            proc(run);
    };
    switch (source) {
    case TVSTTextSourceType::tstAll:
        walk(FirstNode(), &TBaseVirtualTree::NextNodeInTree);
        break;
    case TVSTTextSourceType::tstInitialized:
        walk(FirstInitializedNode(), &TBaseVirtualTree::NextInitializedNode);
        break;
    case TVSTTextSourceType::tstSelected:
        for (PVirtualNode run : SortedSelection(false))
            proc(run);
        break;
    case TVSTTextSourceType::tstVisible:
        walk(FirstVisibleNode(), &TBaseVirtualTree::NextVisibleNode);
        break;
    }
}

std::vector<TColumnIndex> TCustomVirtualStringTree::ExportColumns() const {
    if (!Header()->UseColumns()) return {NoColumn};
    return Header()->Columns()->GetVisibleColumns();
}

std::u16string TCustomVirtualStringTree::ContentToUnicode(TVSTTextSourceType source,
                                                          const std::u16string& separator) {
    const std::vector<TColumnIndex> columns = ExportColumns();
    const TColumnIndex main = MainColumn();
    auto quoted = [&](const std::u16string& text) {
        const bool needsQuotes =
            (!separator.empty() && text.find(separator) != std::u16string::npos) ||
            text.find_first_of(u"\"\r\n") != std::u16string::npos;
        if (!needsQuotes) return text;
        std::u16string out = u"\"";
        for (char16_t c : text) {
            if (c == u'"') out += u'"';
            out += c;
        }
        return out + u"\"";
    };
    TWideBufferedString result;
    ForEachSource(source, [&](PVirtualNode node) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) result.Add(separator);
            if (columns[i] == main || columns[i] == NoColumn)
                result.Add(std::u16string(NodeLevel(node), u'\t'));
            result.Add(quoted(Text(node, columns[i])));
        }
        result.AddNewLine();
    });
    return result.AsString();
}

std::string TCustomVirtualStringTree::ContentToText(TVSTTextSourceType source,
                                                    const std::string& separator) {
    return WideToAnsi(ContentToUnicode(source, AnsiToWide(separator)));
}

std::string TCustomVirtualStringTree::ContentToHTML(TVSTTextSourceType source,
                                                    const std::u16string& caption) {
    const std::vector<TColumnIndex> columns = ExportColumns();
    const TColumnIndex main = MainColumn();
    const bool useColumns = Header()->UseColumns();
    const auto paint = TreeOptions()->PaintOptions();
    const char* cellClass =
        paint.Contains(toShowHorzGridLines) || paint.Contains(toShowVertGridLines) ? "normalborder"
                                                                                   : "noborder";
    std::vector<PVirtualNode> nodes;
    ForEachSource(source, [&](PVirtualNode node) { nodes.push_back(node); });
    Cardinal maxLevel = 0;
    for (PVirtualNode node : nodes)
        maxLevel = std::max(maxLevel, NodeLevel(node));

    TBufferedString html;
    html.Add("<style type=\"text/css\">\r\n");
    html.Add(".default{font-family: '" + Font()->Name() +
             "'; font-size: " + std::to_string(Font()->Size()) +
             "pt; color: " + HtmlColor(Font()->Color()) + ";}\r\n");
    html.Add(".header{font-family: '" + Header()->Font()->Name() +
             "'; background-color: " + HtmlColor(clBtnFace) + ";}\r\n");
    html.Add(".noborder{border-style: none;}\r\n");
    html.Add(".normalborder{border-width: 1px; border-style: solid; border-color: " +
             HtmlColor(Colors()->GridLineColor()) + ";}\r\n");
    html.Add("</style>\r\n");
    html.Add("<table class=\"default\" style=\"border-collapse: collapse;\" bgcolor=\"" +
             HtmlColor(Color()) + "\" cellspacing=\"0\" cellpadding=\"2\">\r\n");
    if (!caption.empty()) html.Add("<caption>" + HtmlEscape(caption) + "</caption>\r\n");
    if (useColumns) {
        html.Add("<tr class=\"header\" style=\"height: " + std::to_string(Header()->Height()) +
                 "px;\">");
        for (TColumnIndex c : columns) {
            TVirtualTreeColumn* column = Header()->Columns()->Items(c);
            html.Add("<th");
            if (c == main) html.Add(" colspan=\"" + std::to_string(maxLevel + 1) + "\"");
            html.Add(" height=\"" + std::to_string(Header()->Height()) + "\" align=\"" +
                     HtmlAlign(column->Alignment()) + "\" width=\"" +
                     std::to_string(column->Width()) + "\">" + HtmlEscape(column->Text()) +
                     "</th>");
        }
        html.Add("</tr>\r\n");
    }
    TCanvas* canvas = MeasureCanvas();
    for (PVirtualNode node : nodes) {
        const Cardinal level = NodeLevel(node);
        const std::string height = std::to_string(node->NodeHeight);
        html.Add("<tr class=\"default\">");
        for (TColumnIndex c : columns) {
            const bool isMain = c == main || c == NoColumn;
            if (isMain)
                for (Cardinal i = 0; i < level; ++i)
                    html.Add("<td class=\"noborder\" width=\"" + std::to_string(Indent()) +
                             "\" height=\"" + height + "\">&nbsp;</td>");
            canvas->Font()->Assign(Font());
            WatchFont(canvas, [&] { DoPaintText(node, canvas, c, TVSTTextType::ttNormal); });
            TFont* font = canvas->Font();
            std::string style = "{font:";
            if (font->Style().Contains(fsUnderline)) style += " underline";
            if (font->Style().Contains(fsItalic)) style += " italic";
            if (font->Style().Contains(fsBold)) style += " bold";
            // Appended piece by piece: GCC 12 warns wrongly about a literal + to_string chain.
            style += ' ';
            style += std::to_string(font->Size());
            style += "pt \"";
            style += font->Name();
            style += "\";color:";
            style += HtmlColor(font->Color());
            style += '}';
            html.Add("<td class=\"" + std::string(cellClass) + "\"");
            if (isMain && maxLevel > level)
                html.Add(" colspan=\"" + std::to_string(maxLevel - level + 1) + "\"");
            if (useColumns)
                html.Add(std::string(" align=\"") +
                         HtmlAlign(Header()->Columns()->Items(c)->Alignment()) + "\"");
            html.Add(" style='" + style + "'>" + HtmlEscape(Text(node, c)) + "</td>");
        }
        html.Add("</tr>\r\n");
    }
    html.Add("</table>\r\n");
    return html.AsString();
}

std::string TCustomVirtualStringTree::MakeClipboardHTML(const std::string& fragment) {
    const std::string start =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
        "<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
        "</head><body><!--StartFragment-->";
    const std::string end = "<!--EndFragment--></body></html>";
    auto line = [](const char* name, size_t value) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%s%.8d\r\n", name, int(value));
        return std::string(buffer);
    };
    const std::string version = "Version:1.0\r\n";
    // Four lines of a name, eight digits and CR LF.
    const size_t headerSize = version.size() + line("StartHTML:", 0).size() +
                              line("EndHTML:", 0).size() + line("StartFragment:", 0).size() +
                              line("EndFragment:", 0).size();
    const size_t startHtml = headerSize;
    const size_t startFragment = startHtml + start.size();
    const size_t endFragment = startFragment + fragment.size();
    const size_t endHtml = endFragment + end.size();
    return version + line("StartHTML:", startHtml) + line("EndHTML:", endHtml) +
           line("StartFragment:", startFragment) + line("EndFragment:", endFragment) + start +
           fragment + end;
}

std::string TCustomVirtualStringTree::ContentToRTF(TVSTTextSourceType source) {
    const std::vector<TColumnIndex> columns = ExportColumns();
    const TColumnIndex main = MainColumn();
    std::vector<std::string> fonts;
    std::vector<COLORREF> colors;
    auto fontIndex = [&](const std::string& name) {
        auto at = std::find(fonts.begin(), fonts.end(), name);
        if (at != fonts.end()) return int(at - fonts.begin());
        fonts.push_back(name);
        return int(fonts.size()) - 1;
    };
    // Index 0 of the colour table is the automatic colour.
    auto colorIndex = [&](TColor color) {
        const COLORREF rgb = ColorToRGB(color);
        auto at = std::find(colors.begin(), colors.end(), rgb);
        if (at != colors.end()) return int(at - colors.begin()) + 1;
        colors.push_back(rgb);
        return int(colors.size());
    };
    std::vector<int> rights;
    int x = 0;
    for (TColumnIndex c : columns) {
        x += c == NoColumn ? std::max(ClientWidth(), RangeX())
                           : Header()->Columns()->Items(c)->Width();
        rights.push_back(x * TwipsPerPixel);
    }
    TCanvas* canvas = MeasureCanvas();
    TBufferedString body;
    ForEachSource(source, [&](PVirtualNode node) {
        body.Add("\\uc1\\trowd\\trgaph70");
        for (int right : rights)
            body.Add("\\cellx" + std::to_string(right));
        body.Add("\\pard\\intbl");
        for (TColumnIndex c : columns) {
            canvas->Font()->Assign(Font());
            WatchFont(canvas, [&] { DoPaintText(node, canvas, c, TVSTTextType::ttNormal); });
            TFont* font = canvas->Font();
            const TAlignment alignment =
                c == NoColumn ? taLeftJustify : Header()->Columns()->Items(c)->Alignment();
            // Paragraph and character settings start afresh in every cell.
            body.Add(alignment == taRightJustify ? "\\qr"
                     : alignment == taCenter     ? "\\qc"
                                                 : "\\ql");
            if (c == main || c == NoColumn)
                body.Add("\\li" +
                         std::to_string(int(NodeLevel(node)) * int(Indent()) * TwipsPerPixel));
            else
                body.Add("\\li0");
            body.Add("\\plain\\f" + std::to_string(fontIndex(font->Name())));
            if (font->Style().Contains(fsBold)) body.Add("\\b");
            if (font->Style().Contains(fsItalic)) body.Add("\\i");
            if (font->Style().Contains(fsUnderline)) body.Add("\\ul");
            body.Add("\\fs" + std::to_string(2 * font->Size()));
            body.Add("\\cf" + std::to_string(colorIndex(font->Color())));
            body.Add(" " + RtfEscape(Text(node, c)) + "\\cell");
        }
        body.Add("\\row");
        body.AddNewLine();
    });
    if (fonts.empty()) fontIndex(Font()->Name());
    TBufferedString rtf;
    rtf.Add("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl");
    for (size_t i = 0; i < fonts.size(); ++i)
        rtf.Add("{\\f" + std::to_string(i) + "\\fnil\\fcharset0 " + fonts[i] + ";}");
    rtf.Add("}{\\colortbl;");
    for (COLORREF rgb : colors) {
        char entry[48];
        std::snprintf(entry, sizeof entry, "\\red%d\\green%d\\blue%d;", int(GetRValue(rgb)),
                      int(GetGValue(rgb)), int(GetBValue(rgb)));
        rtf.Add(entry);
    }
    rtf.Add("}");
    rtf.AddNewLine();
    rtf.Add(body.AsString());
    rtf.Add("\\pard\\par}");
    return rtf.AsString();
}

// ---- Clipboard --------------------------------------------------------------------------------

int32_t TCustomVirtualStringTree::RenderOLEData(const FORMATETC& format, STGMEDIUM& medium,
                                                bool forClipboard) {
    const TTreeUnitState& unit = TreeUnitState();
    const uint32_t cf = format.cfFormat;
    std::string bytes;
    if (cf == 1) { // CF_TEXT
        bytes = ContentToText(TVSTTextSourceType::tstSelected, "\t");
        bytes += '\0';
    } else if (cf == 13) { // CF_UNICODETEXT
        const std::u16string text = ContentToUnicode(TVSTTextSourceType::tstSelected, u"\t");
        bytes.assign(reinterpret_cast<const char*>(text.c_str()), 2 * (text.size() + 1));
    } else if (cf == unit.CF_HTML) {
        bytes = MakeClipboardHTML(ContentToHTML(TVSTTextSourceType::tstSelected));
        bytes += '\0';
    } else if (cf == unit.CF_VRTF || cf == unit.CF_VRTFNOOBJS) {
        bytes = ContentToRTF(TVSTTextSourceType::tstSelected);
        bytes += '\0';
    } else if (cf == unit.CF_CSV) {
        bytes = ContentToText(TVSTTextSourceType::tstSelected, ",");
        bytes += '\0';
    } else {
        return TBaseVirtualTree::RenderOLEData(format, medium, forClipboard);
    }
    if (!(format.tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    HGLOBAL block = BytesToGlobal(bytes.data(), bytes.size());
    if (!block) return E_OUTOFMEMORY;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    medium.pUnkForRelease = nullptr;
    return S_OK;
}

} // namespace epc
