// Tables in RTF (rows of \trowd with nested tables at deeper \itap levels, plus private words
// that keep the pixel sizes for our own reader) and in HTML (plain attributes or CSS).

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/core/Exceptions.h"
#include "platform/core/Streams.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVFReadWrite.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVHtmlWriter.h"
#include "richtext/document/RVRtfWriter.h"
#include "richtext/document/RVStyle.h"
#include "richtext/document/RVUni.h"
#include "richtext/table/RVTable.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

// The canvas of the control showing Data, able to measure; none when that control has no
// window and cannot make one (a viewer on no form).
TCanvas* MeasuringCanvas(TCustomRVData* data) {
    auto* formatted = dynamic_cast<TCustomRVFormattedData*>(data);
    TCanvas* canvas = formatted ? formatted->GetCanvas() : nullptr;
    if (!canvas || canvas->HandleAllocated()) return canvas;
    try {
        canvas->Handle();
    } catch (const EInvalidOperation&) {
        return nullptr;
    }
    return canvas;
}

std::string Fmt(const char* format, int v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void AddBorderColors(TRVColorList& colors, TRVTableBorderStyle style, TColor color, TColor light) {
    switch (style) {
    case rvtbRaised:
    case rvtbLowered:
        colors.AddColorIfAbsent(clBtnHighlight);
        colors.AddColorIfAbsent(clBtnShadow);
        colors.AddColorIfAbsent(clBtnFace);
        break;
    case rvtbColor:
        colors.AddColorIfAbsent(color);
        break;
    case rvtbRaisedColor:
    case rvtbLoweredColor:
        colors.AddColorIfAbsent(color);
        colors.AddColorIfAbsent(light);
        break;
    }
}

// One side group of border words; nothing for a width of 0 or less.
std::string WriteRtfBorders(const TRVRTFWriteContext& ctx, const char* prefix,
                            TRVTableBorderStyle style, int width, TColor color, TColor light,
                            const TRVBooleanRect* visible) {
    if (width <= 0) return {};
    const int tw = ctx.Twips(width);
    TColor first = color, second = color; // left/top, right/bottom
    if (style == rvtbRaisedColor) first = light;
    if (style == rvtbLoweredColor) second = light;
    auto words = [&](TColor c) {
        switch (style) {
        case rvtbRaised:
            return Fmt("\\brdroutset\\brdrw%d", tw);
        case rvtbLowered:
            return Fmt("\\brdrinset\\brdrw%d", tw);
        default:
            return Fmt("\\brdrs\\brdrw%d", tw) + Fmt("\\brdrcf%d", ctx.ColorIndex(c));
        }
    };
    std::string out;
    const char* sides[4] = {"l", "t", "r", "b"};
    const bool on[4] = {!visible || visible->Left, !visible || visible->Top,
                        !visible || visible->Right, !visible || visible->Bottom};
    for (int i = 0; i < 4; ++i)
        if (on[i])
            out += std::string("\\") + prefix + "brdr" + sides[i] + words(i < 2 ? first : second);
    return out;
}

int Half(const TRVRTFWriteContext& ctx, int pixels) {
    return int(std::nearbyint(pixels * ctx.TwipsPerPixel / 2));
}

// An attribute, left out when empty or equal to its default.
std::string Attr(const std::string& name, const std::string& value, const std::string& def = "") {
    if (value.empty() || value == def) return {};
    return " " + name + "=\"" + value + "\"";
}

std::string HtmlLength(TRVHTMLLength v) {
    if (v > 0) return std::to_string(v);
    if (v < 0) return std::to_string(-int64_t(v)) + "%";
    return {};
}

std::string HtmlColor(TColor c) {
    return c == clNone ? std::string() : ColorToHtmlHex(c);
}

const char* VAlignName(int v) {
    switch (v) {
    case rvcTop:
        return "top";
    case rvcMiddle:
        return "middle";
    case rvcBottom:
        return "bottom";
    default:
        return "";
    }
}

} // namespace

void TRVTableItemInfo::FillRtfTables(TRVColorList& colors) const {
    TEditedCellContent edited(*this);
    colors.AddColorIfAbsent(Color());
    AddBorderColors(colors, BorderStyle(), BorderColor(), BorderLightColor());
    AddBorderColors(colors, CellBorderStyle(), CellBorderColor(), CellBorderLightColor());
    if (VRuleWidth() > 0) colors.AddColorIfAbsent(VRuleColor());
    if (HRuleWidth() > 0) colors.AddColorIfAbsent(HRuleColor());
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < ColCount(); ++c)
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c)) {
                colors.AddColorIfAbsent(cell->Color);
                colors.AddColorIfAbsent(cell->BorderColor);
                colors.AddColorIfAbsent(cell->BorderLightColor);
                // Effective colours come from the table, the paragraph or the document.
                colors.AddColorIfAbsent(GetCellColor(cell));
                cell->FillRtfTables(colors);
            }
}

void TRVTableItemInfo::WriteRtfTable(TStream& stream, TCustomRVData* rvData,
                                     TRVRTFWriteContext& ctx) {
    TEditedCellContent edited(*this);
    if (Rows.IsEmpty()) {
        ctx.TableJustClosed = true;
        return;
    }
    // The cell boundaries come from the screen layout; a table without one is laid out for
    // a document 600 pixels wide, aside, so that what the screen shows does not change.
    TRVTableItemFormattingInfo aside;
    const TRVTableItemFormattingInfo* layout = &FFormatting;
    if (FFormatting.ColStarts.Count() != ColCount() ||
        FFormatting.ColWidths.Count() != ColCount()) {
        TCanvas own;
        TCanvas* canvas = MeasuringCanvas(FRVData);
        if (!canvas) {
            own.SetOwnedHandle(CreateBufferDC(1, 1, 96, 96));
            canvas = &own;
        }
        LayOutColumns(600, canvas, aside);
        layout = &aside;
    }
    const int level = ctx.Level;
    const bool nested = level > 0;
    const std::string nest = nested ? "nest" : "";
    TRVStyle* style = rvData ? rvData->GetRVStyle() : nullptr;
    std::string align;
    if (style && style->HasParaStyle(ParaNo)) {
        TRVAlignment a = style->ParaStyles[ParaNo].Alignment;
        if (a == TRVAlignment::rvaRight) align = "\\trqr";
        if (a == TRVAlignment::rvaCenter) align = "\\trqc";
    }
    const int rowCount = RowCount(), colCount = ColCount();
    for (int r = 0; r < rowCount; ++r) {
        std::string out =
            "\\trowd" + align +
            Fmt("\\trgaph%d", Half(ctx, 2 * (CellPadding() + CellBorderWidth()) + CellHSpacing())) +
            "\\trleft0" + Fmt("\\itap%d", level + 1);
        if (r < HeadingRowCount()) out += "\\trhdr";
        if (int h = Rows.GetRow(r)->GetBestHeight(); h > 0) out += Fmt("\\trrh%d", ctx.Twips(h));
        const int pad = ctx.Twips(CellPadding());
        out += Fmt("\\trpaddl%d", pad) + Fmt("\\trpaddt%d", pad) + Fmt("\\trpaddr%d", pad) +
               Fmt("\\trpaddb%d", pad) + "\\trpaddfl3\\trpaddft3\\trpaddfr3\\trpaddfb3";
        const int hs = Half(ctx, CellHSpacing());
        out += Fmt("\\trspdl%d", hs) + Fmt("\\trspdr%d", hs) + "\\trspdfl3\\trspdfr3";
        out += Fmt("\\trspdt%d", Half(ctx, r == 0 ? BorderVSpacing() : CellVSpacing())) +
               Fmt("\\trspdb%d", Half(ctx, r == rowCount - 1 ? BorderVSpacing() : CellVSpacing())) +
               "\\trspdft3\\trspdfb3";
        if (BestWidth() > 0)
            out +=
                Fmt("\\trwWidth%d", ctx.Twips(BestWidth() + 2 * BorderWidth())) + "\\trftsWidth3";
        else if (BestWidth() < 0)
            out += Fmt("\\trwWidth%d", -BestWidth() * 50) + "\\trftsWidth2";
        else
            out += "\\trftsWidth1";
        if (Options.Contains(TRVTableOption::rvtoRTFAllowAutofit)) out += "\\trautofit1";
        out += Fmt("\\richviewtbw%d", BestWidth());
        out += WriteRtfBorders(ctx, "tr", BorderStyle(), BorderWidth(), BorderColor(),
                               BorderLightColor(), nullptr);
        if (rvData) out += rvData->GetExtraRTFCode(rvrtfaRow, r, -1);
        for (int c = 0; c < colCount; ++c) {
            int mr = r, mc = c;
            TRVTableCellData* main = Rows.GetMainCell(r, c, mr, mc);
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) {
                if (r > mr) {
                    out += "\\clvmrg";
                    if (c == mc && main->ColSpan > 1) out += "\\clmgf";
                }
                if (c > mc) {
                    out += "\\clmrg";
                    if (r == mr && main->RowSpan > 1) out += "\\clvmgf";
                }
            } else {
                if (cell->RowSpan > 1) out += "\\clvmgf";
                if (cell->ColSpan > 1) out += "\\clmgf";
                if (cell->BestWidth > 0) {
                    if (Options.Contains(TRVTableOption::rvtoRTFSaveCellPixelBestWidth))
                        out += Fmt("\\clwWidth%d", ctx.Twips(cell->BestWidth)) + "\\clftsWidth3";
                    else
                        out += "\\clwWidth0";
                } else if (cell->BestWidth < 0) {
                    out += Fmt("\\clwWidth%d", -cell->BestWidth * 50) + "\\clftsWidth2";
                } else {
                    out += "\\clftsWidth1";
                }
                out += Fmt("\\richviewcbw%d", cell->BestWidth) +
                       Fmt("\\richviewcbh%d", cell->BestHeight);
            }
            out += WriteRtfBorders(
                ctx, "cl", CellBorderStyle(), CellBorderWidth(),
                main->BorderColor != clNone ? main->BorderColor : CellBorderColor(),
                main->BorderLightColor != clNone ? main->BorderLightColor : CellBorderLightColor(),
                &main->VisibleBorders);
            if (TColor cc = GetCellColor(main); cc != clNone)
                out += Fmt("\\clcbpat%d", ctx.ColorIndex(cc));
            switch (main->GetEffectiveVAlign()) {
            case rvcMiddle:
                out += "\\clvertalc";
                break;
            case rvcBottom:
                out += "\\clvertalb";
                break;
            default:
                break;
            }
            if (rvData) out += rvData->GetExtraRTFCode(rvrtfaCell, r, c);
            const int right = layout->ColStarts[c] + layout->ColWidths[c];
            out += Fmt("\\cellx%d", int(std::nearbyint(right * ctx.TwipsPerPixel +
                                                       CellHSpacing() * ctx.TwipsPerPixel / 2)));
        }
        const std::string cellPara = Fmt("\\pard\\intbl\\itap%d", level + 1);
        // A nested row gives its definition after its cells, in the group readers without
        // nested tables skip, followed by what those readers show instead.
        RVFWriteRaw(stream, nested ? "{" + cellPara + "{" : "{" + out + cellPara + "{");
        for (int c = 0; c < colCount; ++c) {
            RVFWriteRaw(stream, "{");
            if (TRVTableCellData* cell = Rows.GetRow(r)->Cell(c))
                cell->WriteRtfSubDocument(stream, ctx, level + 1, GetCellColor(cell));
            // A cell that ends with a table ends with a paragraph of its own level, its end
            // mark (readers drop it again; an empty paragraph after such a table goes with it).
            if (ctx.TableJustClosed) RVFWriteRaw(stream, cellPara);
            ctx.TableJustClosed = false;
            RVFWriteRaw(stream, "\\" + nest + "cell}");
        }
        if (nested)
            RVFWriteRaw(stream, "}" + cellPara + "{\\*\\nesttableprops" + out +
                                    "\\nestrow}{\\nonesttables\\par}}\r\n");
        else
            RVFWriteRaw(stream, "}" + cellPara + "\\row}\r\n");
    }
    ctx.Level = level;
    ctx.TableJustClosed = true;
}

void TRVTableItemInfo::WriteHtmlTable(TStream& stream, TCustomRVData* rvData,
                                      TRVHTMLWriteContext& ctx) {
    TEditedCellContent edited(*this);
    const bool css = ctx.Css;
    auto background = [&](TGraphic* picture) {
        const std::string name = RVSaveHtmlPicture(picture, rvData, ctx.Path);
        return name.empty() ? std::string() : " background=\"" + HtmlEscapeText(name) + "\"";
    };
    const char* const centred = "background-position: center center; background-repeat: no-repeat;";
    const bool tableTiled =
        BackgroundImage() && !BackgroundImage()->Empty() && BackgroundStyle() == rvbsTiled;
    std::string out = "<TABLE";
    out += Attr("width", HtmlLength(BestWidth()));
    out += Attr("bgcolor", HtmlColor(Color()));
    // One style attribute carries both the zero border width and the border look.
    std::string tableStyle;
    if (css && BorderWidth() < 1 && CellBorderWidth() > 0) {
        out += " border=\"1\"";
        tableStyle = "border-width : 0px; ";
    } else {
        out += Fmt(" border=\"%d\"", BorderWidth());
    }
    out += Attr("cellpadding", std::to_string(CellPadding()));
    if (BorderStyle() == rvtbColor) out += Attr("bordercolor", HtmlColor(BorderColor()));
    if (BorderStyle() == rvtbRaisedColor || BorderStyle() == rvtbLoweredColor) {
        out += Attr("bordercolordark", HtmlColor(BorderColor()));
        out += Attr("bordercolorlight", HtmlColor(BorderLightColor()));
    }
    out += Attr("cellspacing", std::to_string((CellVSpacing() + CellHSpacing()) / 2));
    const std::string tablePicture = background(BackgroundImage());
    out += tablePicture;
    if (css) {
        std::string st = tableStyle;
        if (BorderStyle() == rvtbLowered) st += "border-style: inset;";
        if (BorderStyle() == rvtbRaisedColor || BorderStyle() == rvtbLoweredColor) {
            const std::string dark = HtmlColor(BorderColor()),
                              light = HtmlColor(BorderLightColor());
            const bool raised = BorderStyle() == rvtbRaisedColor;
            const std::string tl = raised ? light : dark, br = raised ? dark : light;
            st +=
                "border-color : " + tl + " " + br + " " + br + " " + tl + "; border-style: solid;";
        }
        if (!tablePicture.empty() && BackgroundStyle() == rvbsCentered) st += centred;
        if (!st.empty()) out += " style='{" + st + "}'";
    }
    out += ">\r\n";
    // The cell-border style shared by every cell without colours of its own.
    auto cellStyle = [&](const TRVTableCellData* cell) {
        std::string st;
        if (CellBorderWidth() > 0)
            st += "border-width : " + std::to_string(CellBorderWidth()) + "px; ";
        const TColor dark = cell->BorderColor != clNone ? cell->BorderColor : CellBorderColor();
        const TColor light =
            cell->BorderLightColor != clNone ? cell->BorderLightColor : CellBorderLightColor();
        switch (CellBorderStyle()) {
        case rvtbRaised:
            st += "border-style: outset";
            break;
        case rvtbColor:
            if (!(BorderStyle() == rvtbColor && BorderColor() == dark))
                st += "border-color : " + HtmlColor(dark) + "; border-style: solid";
            break;
        case rvtbRaisedColor:
        case rvtbLoweredColor: {
            const bool raised = CellBorderStyle() == rvtbRaisedColor;
            const std::string tl = HtmlColor(raised ? light : dark),
                              br = HtmlColor(raised ? dark : light);
            st += "border-color : " + tl + " " + br + " " + br + " " + tl + "; border-style: solid";
            break;
        }
        default:
            break;
        }
        if (!st.empty() && st.back() != ';' && st.back() != ' ') st += "; ";
        // Where a cell's own picture or the table's tiled one lies in the cell.
        if (cell->BackgroundImage() && !cell->BackgroundImage()->Empty() &&
            cell->BackgroundStyle() == rvbsCentered)
            st += centred;
        else if (tableTiled)
            st += "background-position: left top; background-repeat: repeat;";
        if (CellBorderWidth() > 0) {
            if (!cell->VisibleBorders.Top) st += "border-top: none; ";
            if (!cell->VisibleBorders.Right) st += "border-right: none; ";
            if (!cell->VisibleBorders.Bottom) st += "border-bottom: none; ";
            if (!cell->VisibleBorders.Left) st += "border-left: none; ";
        }
        return st.empty() ? std::string() : " style='{" + st + "}'";
    };
    RVFWriteRaw(stream, out);
    for (int r = 0; r < RowCount(); ++r) {
        const int rowVAlign = Rows.GetRow(r)->VAlign;
        RVFWriteRaw(stream,
                    "<TR" + Attr("valign", rowVAlign == rvcTop ? "" : VAlignName(rowVAlign)) + ">");
        for (int c = 0; c < ColCount(); ++c) {
            TRVTableCellData* cell = Rows.GetRow(r)->Cell(c);
            if (!cell) continue;
            std::string td = "<TD";
            td += Attr("colspan", std::to_string(cell->ColSpan), "1");
            td += Attr("rowspan", std::to_string(cell->RowSpan), "1");
            td += Attr("width", HtmlLength(cell->BestWidth));
            td += Attr("height", HtmlLength(cell->BestHeight));
            if (cell->Color != Color()) td += Attr("bgcolor", HtmlColor(cell->Color));
            td += Attr("valign", VAlignName(cell->VAlign));
            td += background(cell->BackgroundImage());
            if (css) td += cellStyle(cell);
            td += ">";
            RVFWriteRaw(stream, td);
            if (cell->IsEmpty(true))
                RVFWriteRaw(stream, "&nbsp;");
            else
                cell->WriteHtmlSubDocument(stream, ctx, GetCellColor(cell));
            RVFWriteRaw(stream, "</TD>");
        }
        RVFWriteRaw(stream, "</TR>\r\n");
    }
    RVFWriteRaw(stream, "</TABLE>\r\n");
}

} // namespace epc
