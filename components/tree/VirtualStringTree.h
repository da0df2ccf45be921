#pragma once
// TCustomVirtualStringTree: a tree that shows a text per node and column, obtained through
// events. It measures and paints the texts, searches them incrementally, edits them in place
// and exports the tree as plain text, CSV, HTML and RTF (also through the clipboard).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/tree/BaseVirtualTree.h"
#include "platform/graphics/Bitmap.h"

namespace epc {

class TCustomVirtualStringTree;

enum class TVTStringOption : uint8_t {
    soSaveCaptions,   // 0x01 the texts are streamed with the nodes
    soShowStaticText, // 0x02 a static text is painted after the normal text
};
using TVTStringOptions = TSet<TVTStringOption>;
inline const TVTStringOptions DefaultStringOptions{TVTStringOption::soSaveCaptions};
// The string options as older forms stored them, in a list of their own.
enum class TOldVTStringOption : uint8_t { soSaveCaptions, soShowStaticText };

class TCustomStringTreeOptions : public TCustomVirtualTreeOptions {
public:
    using TCustomVirtualTreeOptions::TCustomVirtualTreeOptions;
    std::string ClassName() const override { return "TCustomStringTreeOptions"; }
    TVTStringOptions StringOptions() const { return FStringOptions; }
    void SetStringOptions(TVTStringOptions value);

protected:
    void AssignTo(TPersistent* dest) override;

private:
    TVTStringOptions FStringOptions = DefaultStringOptions;
};

class TStringTreeOptions : public TCustomStringTreeOptions {
public:
    using TCustomStringTreeOptions::TCustomStringTreeOptions;
    std::string ClassName() const override { return "TStringTreeOptions"; }
};

enum class TVSTTextType : uint8_t { ttNormal, ttStatic };
// Which nodes an export takes.
enum class TVSTTextSourceType : uint8_t { tstAll, tstInitialized, tstSelected, tstVisible };

using TVSTGetTextEvent =
    std::function<void(TBaseVirtualTree*, PVirtualNode node, TColumnIndex column,
                       TVSTTextType textType, std::u16string& cellText)>;
using TVSTNewTextEvent = std::function<void(TBaseVirtualTree*, PVirtualNode node,
                                            TColumnIndex column, const std::u16string& newText)>;
using TVTPaintText = std::function<void(TBaseVirtualTree*, TCanvas* targetCanvas, PVirtualNode node,
                                        TColumnIndex column, TVSTTextType textType)>;
using TVSTShortenStringEvent = std::function<void(
    TBaseVirtualTree*, TCanvas* targetCanvas, PVirtualNode node, TColumnIndex column,
    const std::u16string& s, int textSpace, std::u16string& result, bool& done)>;
using TVTMeasureTextEvent =
    std::function<void(TBaseVirtualTree*, TCanvas* targetCanvas, PVirtualNode node,
                       TColumnIndex column, const std::u16string& text, int& extent)>;

// The id of the chunk that carries a node's texts in a tree stream.
constexpr int CaptionChunk = 3;

class TCustomVirtualStringTree : public TBaseVirtualTree {
public:
    explicit TCustomVirtualStringTree(TComponent* owner);
    ~TCustomVirtualStringTree() override;
    std::string ClassName() const override { return "TCustomVirtualStringTree"; }

    // The text of nodes whose get-text handler gives none ("Node" by default).
    const std::u16string& DefaultText() const { return FDefaultText; }
    void SetDefaultText(const std::u16string& value);
    TCustomStringTreeOptions* TreeOptions() const;
    // Reads the older form's string option names ("soSaveCaptions", "soShowStaticText").
    void ReadOldStringOptions(const std::vector<std::string>& identifiers);
    // "WideDefaultText" in forms, and the older forms' "StringOptions".
    void DefineProperties(TFiler* filer) override;

    // A node's text in a column (the normal text).
    std::u16string Text(PVirtualNode node, TColumnIndex column);
    // Hands a new text to the new-text notification.
    void SetText(PVirtualNode node, TColumnIndex column, const std::u16string& value);
    std::u16string StaticText(PVirtualNode node, TColumnIndex column);

    // ---- Exports -------------------------------------------------------------------------------
    // One line per node (CR LF): the texts of the visible columns in position order joined by
    // Separator, the main column's text indented by one tab per level. A text holding the
    // separator, a quote or a line break is quoted, doubling its quotes.
    std::u16string ContentToUnicode(TVSTTextSourceType source, const std::u16string& separator);
    std::string ContentToText(TVSTTextSourceType source, const std::string& separator);
    // An HTML fragment (UTF-8): a style block and one table with a row per node.
    std::string ContentToHTML(TVSTTextSourceType source, const std::u16string& caption = u"");
    std::string ContentToRTF(TVSTTextSourceType source);
    // The fragment wrapped in the HTML clipboard format's header and page.
    static std::string MakeClipboardHTML(const std::string& fragment);

    // ---- Overrides -----------------------------------------------------------------------------
    int DoGetNodeWidth(PVirtualNode node, TColumnIndex column) override;
    // A cell without text.
    bool ColumnIsEmpty(PVirtualNode node, TColumnIndex column) override;
    // The text width query holds the margins already.
    int LabelWidth(int nodeWidth) const override { return nodeWidth; }
    void DoPaintNode(TVTPaintInfo& paintInfo) override;
    std::u16string DoGetNodeHint(PVirtualNode node, TColumnIndex column) override;
    std::u16string DoGetNodeTooltip(PVirtualNode node, TColumnIndex column) override;
    int DoIncrementalSearch(PVirtualNode node, const std::u16string& text) override;
    std::unique_ptr<IVTEditLink> DoCreateEditor(PVirtualNode node, TColumnIndex column) override;
    void WriteChunks(TStream& stream, PVirtualNode node) override;
    bool ReadChunk(TStream& stream, int version, PVirtualNode node, int chunkId,
                   int chunkSize) override;
    int32_t RenderOLEData(const FORMATETC& format, STGMEDIUM& medium, bool forClipboard) override;
    void InvalidateNode(PVirtualNode node) override;
    void ReinitNode(PVirtualNode node, bool recursive) override;
    void GetTextInfo(PVirtualNode node, TColumnIndex column, TFont* font, TRect& r,
                     std::u16string& text) override;
    std::unique_ptr<TCustomVirtualTreeOptions> GetOptionsClass() override;

    // Dispatchers of the string tree's events.
    virtual std::u16string DoGetText(PVirtualNode node, TColumnIndex column, TVSTTextType textType);
    virtual void DoNewText(PVirtualNode node, TColumnIndex column, const std::u16string& text);
    virtual void DoPaintText(PVirtualNode node, TCanvas* canvas, TColumnIndex column,
                             TVSTTextType textType);
    virtual std::u16string DoShortenString(TCanvas* canvas, PVirtualNode node, TColumnIndex column,
                                           const std::u16string& s, int width);
    virtual int DoTextWidth(TCanvas* canvas, PVirtualNode node, TColumnIndex column,
                            const std::u16string& text);

    // Whether a paint-text handler changed the canvas font during the last call that watched.
    bool FontChanged() const { return FFontChanged; }

    TVSTGetTextEvent OnGetText;
    TVSTNewTextEvent OnNewText;
    TVTPaintText OnPaintText;
    TVSTShortenStringEvent OnShortenString;
    TVTMeasureTextEvent OnMeasureTextWidth;

private:
    // The measured width of a node's main-column text, 0 until measured.
    int32_t& CachedWidth(PVirtualNode node) const {
        return *reinterpret_cast<int32_t*>(node->Data() + FWidthOffset);
    }
    TCanvas* MeasureCanvas();
    // Runs Proc with the canvas font's change notification reporting to the tree.
    void WatchFont(TCanvas* canvas, const std::function<void()>& proc);
    template <typename Proc> void ForEachSource(TVSTTextSourceType source, Proc proc);
    // The visible columns in position order; NoColumn alone without a header.
    std::vector<TColumnIndex> ExportColumns() const;

    std::u16string FDefaultText = u"Node";
    Cardinal FWidthOffset = 0;
    bool FFontChanged = false;
    TBitmap FMeasure{1, 1, pf32bit};
};

class TVirtualStringTree : public TCustomVirtualStringTree {
public:
    explicit TVirtualStringTree(TComponent* owner);
    std::string ClassName() const override { return "TVirtualStringTree"; }
    std::unique_ptr<TCustomVirtualTreeOptions> GetOptionsClass() override;
};

} // namespace epc
