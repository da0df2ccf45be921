// Line breaking and paragraph formatting of a formatted document.

#include <algorithm>
#include <atomic>
#include <climits>
#include <vector>

#include "platform/core/Arithmetic.h"
#include "platform/core/Strings.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"
#include "richtext/view/RVFormattedData.h"

namespace epc {

namespace {

std::atomic<int64_t> gMeasureCalls{0};

int Measure(HDC dc, const char* text, int count) {
    ++gMeasureCalls;
    SIZE sz;
    GetTextExtentPoint32A(dc, text, count, &sz);
    return sz.cx;
}

int Measure(HDC dc, const char16_t* text, int count) {
    ++gMeasureCalls;
    SIZE sz;
    GetTextExtentPoint32W(dc, text, count, &sz);
    return sz.cx;
}

void MeasureExtents(HDC dc, const char* text, int count, int* partial) {
    ++gMeasureCalls;
    SIZE sz;
    GetTextExtentExPointA(dc, text, count, INT_MAX, nullptr, partial, &sz);
}

void MeasureExtents(HDC dc, const char16_t* text, int count, int* partial) {
    ++gMeasureCalls;
    SIZE sz;
    GetTextExtentExPointW(dc, text, count, INT_MAX, nullptr, partial, &sz);
}

// UTF-16LE bytes to wide characters.
void BytesToWideBuf(const std::string& bytes, std::u16string& out) {
    size_t n = bytes.size() / 2;
    out.resize(n);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < n; ++i)
        out[i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
}

// The vertical shift of a text style in percent of the font height (0 for styles without one).
template <class F> int TextStyleVShift(const F& f) {
    if constexpr (requires { f.VShift; })
        return int(f.VShift);
    else
        return 0;
}

} // namespace

int64_t TCustomRVFormattedData::MeasureCallCount() {
    return gMeasureCalls.load();
}

int TCustomRVFormattedData::SX(int v) const {
    return FFmt.Sad.XToDevice(v);
}

int TCustomRVFormattedData::SY(int v) const {
    return FFmt.Sad.YToDevice(v);
}

void TCustomRVFormattedData::GetScaling(TCanvas* canvas, TRVScreenAndDevice& sad) const {
    TRVResolutionInfo resolution;
    GetScreenAndDeviceResolution(resolution, canvas);
    sad = resolution.Scaling();
    sad.LeftMargin = sad.XToDevice(GetLeftMargin());
}

std::string TCustomRVFormattedData::GetDisplayText(int itemNo) const {
    const std::string& text = GetItemText(itemNo);
    int styleNo = GetItemStyleNo(itemNo);
    TRVStyle* style = GetRVStyle();
    if (styleNo < 0 || !style || !style->TextStyles.GetItem(styleNo).AllCaps) return text;
    return ApplyAllCaps(text, GetItem(itemNo)->IsUnicode(), true, CodePageOfStyle(styleNo));
}

int TCustomRVFormattedData::MeasureItemText(TCanvas* canvas, int itemNo,
                                            std::vector<int>* extents) {
    TRVStyle* style = GetRVStyle();
    const int styleNo = GetItemStyleNo(itemNo);
    if (styleNo != FMinWidthStyle) {
        style->ApplyStyle(canvas, styleNo, GetItemBiDiMode(itemNo));
        FMinWidthStyle = styleNo;
    }
    HDC dc = canvas->Handle();
    const std::string& raw = GetItemText(itemNo);
    std::string caps;
    const std::string* text = &raw;
    bool unicode = GetItem(itemNo)->IsUnicode();
    if (style->TextStyles.GetItem(styleNo).AllCaps) {
        caps = ApplyAllCaps(raw, unicode, true, CodePageOfStyle(styleNo));
        text = &caps;
    }
    if (unicode) {
        std::u16string wide;
        BytesToWideBuf(*text, wide);
        if (extents) {
            extents->assign(wide.size(), 0);
            if (wide.empty()) return 0;
            MeasureExtents(dc, wide.data(), int(wide.size()), extents->data());
            return extents->back();
        }
        return Measure(dc, wide.data(), int(wide.size()));
    }
    if (extents) {
        extents->assign(text->size(), 0);
        if (text->empty()) return 0;
        MeasureExtents(dc, text->data(), int(text->size()), extents->data());
        return extents->back();
    }
    return Measure(dc, text->data(), int(text->size()));
}

// ---------------------------------------------------------------------------------------------
// The format pass.

void TCustomRVFormattedData::FormatAll(bool keepPosition, bool force, bool noCaching, bool onlyTail,
                                       TCanvas* canvas, int depth, bool noScroll) {
    if (SkipFormatting) {
        SkipFormatting = 0;
        return;
    }
    TRVStyle* style = GetRVStyle();
    if (depth > 1 || !style || State.Contains(TRVState::rvstFormattingInProgress)) return;
    if (!canvas) canvas = GetCanvas();
    if (!canvas) return;
    if (depth == 0) {
        State.Include(TRVState::rvstFormattingInProgress);
        if (keepPosition) State.Include(TRVState::rvstKeepPosition);
    }

    // What a kept position comes back to.
    int selStartNo = -1, selStartOffs = 0, selEndNo = -1, selEndOffs = 0;
    int topItemNo = -1, topDelta = 0, oldVPos = GetVScrollPos();
    // A selection inside an item (a word in a cell) is kept too: the item that holds it, the
    // nested document and that document's own selection, at every depth.
    struct TKeptInner {
        TCustomRVFormattedData* Data;
        TCustomRVItemInfo* Item;
        TCustomRVFormattedData* Sub;
        int StartNo, StartOffs, EndNo, EndOffs;
    };
    std::vector<TKeptInner> keptInner;
    if (depth == 0 && keepPosition) {
        for (TCustomRVFormattedData* d = this; TCustomRVFormattedData* sub = d->GetActiveSubData();
             d = sub) {
            TKeptInner k{d, d->ChosenItem, sub, -1, 0, -1, 0};
            sub->GetSelectionBounds(k.StartNo, k.StartOffs, k.EndNo, k.EndOffs, false);
            keptInner.push_back(k);
        }
        GetSelectionBounds(selStartNo, selStartOffs, selEndNo, selEndOffs, false);
        if (!noScroll && !onlyTail && DrawItems.Count() > 0) {
            int d = FindLineAtY(oldVPos); // a partly visible line counts
            while (d < DrawItems.Count() - 1 && DrawItems[d]->Top + DrawItems[d]->Height <= oldVPos)
                ++d;
            topItemNo = DrawItems[d]->ItemNo;
            topDelta = DrawItems[d]->Top - oldVPos;
        }
    }

    int oldTextWidth = TextWidth, oldMinWidth = MinWidth;
    GetScaling(canvas, FFmt.Sad);
    FFmt.Canvas = canvas;
    FFmt.DC = canvas->Handle();
    FFmt.LM = SX(GetLeftMargin());
    FFmt.RM = SX(GetRightMargin());
    FFmt.NoCaching = noCaching;
    const int lmrm = FFmt.LM + FFmt.RM;

    const TRVScreenAndDevice* sadArg = FFmt.Sad.IsOneToOne() ? nullptr : &FFmt.Sad;
    MinWidth = std::max(CalcDocumentMinWidth(canvas, sadArg), GetClientWidth() - lmrm);
    MinWidth = std::max(MinWidth, SX(GetMinTextWidth()));
    if (GetOptions().Contains(TRVOption::rvoClientTextWidth)) {
        TextWidth = std::max(GetClientWidth() - lmrm, SX(GetMinTextWidth()));
    } else {
        TextWidth = MinWidth;
        if (GetMaxTextWidth() > 0 && MinWidth > SX(GetMaxTextWidth()))
            TextWidth = SX(GetMaxTextWidth());
    }

    bool widthsChanged = TextWidth != oldTextWidth || MinWidth != oldMinWidth;
    // Appending is only valid while the earlier lines keep their widths.
    if (onlyTail && (widthsChanged || LastFormattedItemNo < 0 || DrawItems.Count() == 0))
        onlyTail = false;
    if (force || !keepPosition || widthsChanged) {
        if (!keepPosition) {
            // The old drawing positions of the selection mean nothing after a new layout.
            FirstDrawItemNo = LastDrawItemNo = -1;
            FirstOffs = LastOffs = 0;
        }
        int firstItem = 0;
        FFmt.StartParagraphLine(0, TextWidth);
        if (!onlyTail) {
            ClearFormatting();
            NextJumpNo = GetFirstJumpNo();
            FFmt.BaseLine = SY(GetTopMargin());
        } else {
            firstItem = LastFormattedItemNo + 1;
            int y = DocumentHeight - SY(GetBottomMargin());
            if (LastFormattedItemNo >= 0)
                y -= SY(style->ParaStyles.GetItem(GetItemParaNo(LastFormattedItemNo)).SpaceAfter);
            FFmt.BaseLine = y;
            FFmt.ForceNewLine = true;
        }
        FFmt.LineFirstDrawItem = DrawItems.Count();
        DrawItems.Reserve(DrawItems.Count() + (ItemCount() - firstItem) * 2);

        FormatItemRange(firstItem, ItemCount() - 1);
        if (!State.Contains(TRVState::rvstDocumentContinues)) FinishLine(true);

        DocumentHeight = SY(GetBottomMargin()) + FFmt.BaseLine + FFmt.Descent + FFmt.Extra;
        if (ItemCount() > 0)
            DocumentHeight +=
                SY(style->ParaStyles.GetItem(GetItemParaNo(ItemCount() - 1)).SpaceAfter);
        FFmt.LastTextStyle = -1;
        AdjustVScrollUnits();
        UpdateJumpPositions();
        if (!onlyTail) {
            FJumpsInStep = true;
            FJumpsFirstNo = GetFirstJumpNo();
        }
    }

    // A new or vanished scroll bar changes the client size: one more pass, never a third.
    SkipFormatting = 1;
    int cw = GetClientWidth(), ch = GetClientHeight();
    SetDocumentSize(TextWidth + lmrm, DocumentHeight);
    SkipFormatting = 0;
    if (cw != GetClientWidth() || ch != GetClientHeight()) {
        State.Exclude(TRVState::rvstFormattingInProgress);
        FormatAll(keepPosition, force, noCaching, false, canvas, depth + 1, false);
        if (depth == 0) State.Include(TRVState::rvstFormattingInProgress);
    }

    if (depth == 0) {
        if (keepPosition && !noScroll && !onlyTail) {
            int d = GetFirstDrawItemNo(topItemNo);
            ScrollTo(d >= 0 ? DrawItems[d]->Top - topDelta : oldVPos, false);
        }
        ScrollControlsVisible();
        if (onlyTail) {
            if (GetOptions().Contains(TRVOption::rvoScrollToEnd))
                ScrollTo(DocumentHeight, false);
            else
                ScrollTo(oldVPos, false);
        }
        if (keepPosition && selStartNo >= 0 && selEndNo >= 0 && selStartNo < ItemCount() &&
            selEndNo < ItemCount())
            SetSelectionBounds(selStartNo, selEndNo, selStartOffs, selEndOffs);
        for (const TKeptInner& k : keptInner) {
            // The item must still hold the document (a resize changes no items).
            bool holds = false;
            for (int i = 0; i < k.Data->ItemCount() && !holds; ++i)
                if (k.Data->GetItem(i) == k.Item)
                    for (int n = 0; const TCustomRVData* sub = k.Item->GetSubRVData(n); ++n)
                        holds = holds || sub == k.Sub;
            if (!holds) break;
            k.Data->ChosenItem = k.Item;
            k.Data->ChosenRVData = k.Sub;
            if (k.StartNo >= 0 && k.EndNo >= 0 && k.StartNo < k.Sub->ItemCount() &&
                k.EndNo < k.Sub->ItemCount())
                k.Sub->SetSelectionBounds(k.StartNo, k.EndNo, k.StartOffs, k.EndOffs);
        }
        State.Exclude(TRVState::rvstFormattingInProgress);
        State.Exclude(TRVState::rvstKeepPosition);
        LastFormattedItemNo = ItemCount() - 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Lines.

int TCustomRVFormattedData::NextDrawItemIndex() const {
    if (State.Contains(TRVState::rvstFormattingPart)) return FPartInsertAt;
    return DrawItems.GapCount > 0 ? DrawItems.GapStart : DrawItems.Count();
}

void TCustomRVFormattedData::AddDrawItem(std::unique_ptr<TRVDrawLineInfo> dli) {
    DrawItems.Insert(NextDrawItemIndex(), std::move(dli));
    if (State.Contains(TRVState::rvstFormattingPart)) ++FPartInsertAt;
}

void TCustomRVFormattedData::NoteLaidOutItem(const TCustomRVItemInfo& item) {
    if (item.GetKindFlag(rvifHasSubDocuments)) {
        FHasSubDocItems = true;
        FHasPlacedItems = true;
    } else if (dynamic_cast<const TRVControlItemInfo*>(&item)) {
        FHasPlacedItems = true;
    }
}

void TCustomRVFormattedData::AddJump(const TRVDrawLineInfo& dli, int drawItemNo, int id,
                                     int cursor) {
    if (!State.Contains(TRVState::rvstFormattingPart)) SettleJumpDrawItemNos();
    auto jump = std::make_unique<TRVJumpInfo>();
    jump->RVData = this;
    jump->Left = dli.Left;
    jump->Top = dli.Top;
    jump->Width = dli.Width;
    jump->Height = dli.Height;
    jump->DrawItemNo = drawItemNo;
    jump->Id = id;
    jump->Cursor = int16_t(cursor);
    (State.Contains(TRVState::rvstFormattingPart) ? FPartJumps : Jumps).push_back(std::move(jump));
}

void TCustomRVFormattedData::OpenLine(TRVDrawLineInfo* dli, int ascent, int descent) {
    dli->FromNewLine = true;
    dli->Top = FFmt.BaseLine + FFmt.Descent + FFmt.Extra;
    FFmt.BaseLine = dli->Top + ascent;
    FFmt.Ascent = ascent;
    FFmt.Descent = descent;
    FFmt.Extra = 0;
    FFmt.LineFirstDrawItem = NextDrawItemIndex();
    FFmt.LineOpen = true;
    FFmt.LineFinished = false;
    FFmt.TrimmedThisLine = false;
    FFmt.ForceNewLine = false;
}

void TCustomRVFormattedData::RaiseLineBaseline(int newAscent) {
    if (newAscent <= FFmt.Ascent) return;
    int d = newAscent - FFmt.Ascent;
    int end = NextDrawItemIndex();
    for (int i = FFmt.LineFirstDrawItem; i < end; ++i)
        DrawItems[i]->Top += d;
    FFmt.BaseLine += d;
    FFmt.Ascent = newAscent;
}

bool TCustomRVFormattedData::IsLineStartForTrim(int drawItemNo) const {
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    if (d->FromNewLine) return true;
    if (drawItemNo == 0) return false;
    const TRVDrawLineInfo* prev = DrawItems[drawItemNo - 1];
    return prev->ItemNo != d->ItemNo && GetItemStyleNo(prev->ItemNo) == rvsListMarker;
}

void TCustomRVFormattedData::FinishLine(bool lastOfParagraph) {
    if (!FFmt.LineOpen || FFmt.LineFinished) return;
    FFmt.LineFinished = true;
    const int first = FFmt.LineFirstDrawItem;
    const int last = NextDrawItemIndex() - 1;
    if (last < first) return;
    TRVStyle* style = GetRVStyle();
    TRVDrawLineInfo* lastDli = DrawItems[last];
    if (GetItem(lastDli->ItemNo)->IsFullLine()) return;

    int paraNo = GetItemParaNo(DrawItems[first]->ItemNo);
    const TParaInfo& para = style->ParaStyles.GetItem(paraNo);
    TRVAlignment align = para.Alignment;
    if (align == TRVAlignment::rvaJustify && para.BiDiMode != TRVBiDiMode::rvbdUnspecified)
        align = TRVAlignment::rvaLeft;
    int right = FFmt.LineLeft + FFmt.AvailWidth;
    int spare = right - (lastDli->Left + lastDli->Width);

    // Line spacing.
    int extra = 0;
    if (para.LineSpacingType == TRVLineSpacingType::rvlsPercent) {
        if (para.LineSpacing > 100) {
            int top = INT_MAX, bottom = INT_MIN;
            for (int i = first; i <= last; ++i) {
                const TRVDrawLineInfo* d = DrawItems[i];
                if (GetItemStyleNo(d->ItemNo) < 0) continue;
                top = std::min(top, d->Top);
                bottom = std::max(bottom, d->Top + d->Height);
            }
            if (top != INT_MAX) extra = (bottom - top) * (para.LineSpacing - 100) / 100;
        }
    } else if (para.LineSpacing >= 0) {
        extra = SY(para.LineSpacing);
    }
    for (int i = first; i <= last; ++i)
        DrawItems[i]->ExtraSpaceBelow = extra;
    FFmt.Extra = extra;

    int shift = 0;
    switch (align) {
    case TRVAlignment::rvaRight:
        // Content wider than the line stays at the line's left edge.
        shift = std::max(spare, 0);
        break;
    case TRVAlignment::rvaCenter:
        shift = std::max(spare / 2, 0);
        break;
    case TRVAlignment::rvaJustify:
        if (!lastOfParagraph && last > first && spare > 0) {
            int gaps = 0;
            for (int i = first + 1; i <= last; ++i)
                if (DrawItemBeginsWithSpace(i)) ++gaps;
            for (int i = first + 1; i <= last && gaps > 0; ++i) {
                if (!DrawItemBeginsWithSpace(i)) continue;
                int share = spare / gaps;
                DrawItems[i]->SpaceBefore = share;
                DrawItems[i]->Width += share;
                spare -= share;
                --gaps;
            }
            for (int i = first + 1; i <= last; ++i)
                DrawItems[i]->Left = DrawItems[i - 1]->Left + DrawItems[i - 1]->Width;
        }
        break;
    default:
        break;
    }
    if (shift != 0)
        for (int i = first; i <= last; ++i)
            DrawItems[i]->Left += shift;

    if (GetParaBiDiMode(paraNo) == TRVBiDiMode::rvbdRightToLeft) {
        int rtlShift = 0;
        const TRVDrawLineInfo* d0 = DrawItems[first];
        bool firstLineOfPara = GetItem(d0->ItemNo)->StartsParagraph() && (d0->Offs <= 1) &&
                               (first == 0 || DrawItems[first - 1]->ItemNo != d0->ItemNo);
        if (firstLineOfPara && GetItemStyleNo(d0->ItemNo) != rvsListMarker)
            rtlShift = SX(para.FirstIndent);
        MirrorLineRTL(first, last, rtlShift);
    }
}

void TCustomRVFormattedData::TrimLineEnd(bool wrapped) {
    TRVStyle* style = GetRVStyle();
    // A space left at the end of a line is not shown, except on a line start, whose spaces are
    // its own: a paragraph "hello " keeps its space wherever it stands. At a wrap point a line
    // start keeps only a space that is all it holds, so that the space taken into a full line
    // shows on neither line.
    if (GetFlags().Contains(TRVFlag::TrimSpaces) && FFmt.LineOpen && !FFmt.TrimmedThisLine) {
        FFmt.TrimmedThisLine = true;
        int last = NextDrawItemIndex() - 1;
        if (last >= FFmt.LineFirstDrawItem && last >= 0) {
            TRVDrawLineInfo* d = DrawItems[last];
            int styleNo = GetItemStyleNo(d->ItemNo);
            if (styleNo >= 0 && d->Length > 0 &&
                IsSpaceCharAt(GetItemText(d->ItemNo), d->Offs + d->Length - 1,
                              ReadItemOptionBits(d->ItemNo)) &&
                !((!wrapped || d->Length == 1) && IsLineStartForTrim(last))) {
                if (d->Length == 1 && last > 0 && DrawItems[last - 1]->ItemNo == d->ItemNo) {
                    // Its hyperlink area, if any, is among the last ones of this pass.
                    auto& jumps = State.Contains(TRVState::rvstFormattingPart) ? FPartJumps : Jumps;
                    for (size_t j = jumps.size(); j-- > 0 && jumps[j]->DrawItemNo >= last;)
                        if (jumps[j]->DrawItemNo == last) jumps.erase(jumps.begin() + long(j));
                    DrawItems.Delete(last);
                    if (State.Contains(TRVState::rvstFormattingPart)) --FPartInsertAt;
                } else {
                    --d->Length;
                    int prevStyle = FFmt.LastTextStyle;
                    SelectTextStyle(styleNo, d->ItemNo);
                    std::string part = DrawItems.GetDrawItemText(last, this);
                    if (style->TextStyles.GetItem(styleNo).AllCaps)
                        part = ApplyAllCaps(part, GetItem(d->ItemNo)->IsUnicode(), true,
                                            CodePageOfStyle(styleNo));
                    if (GetItem(d->ItemNo)->IsUnicode()) {
                        std::u16string wide;
                        BytesToWideBuf(part, wide);
                        d->Width = Measure(FFmt.DC, wide.data(), int(wide.size()));
                    } else {
                        d->Width = Measure(FFmt.DC, part.data(), int(part.size()));
                    }
                    if (prevStyle >= 0 && prevStyle != styleNo)
                        SelectTextStyle(prevStyle, d->ItemNo);
                }
            }
        }
    }
}

bool TCustomRVFormattedData::DrawItemBeginsWithSpace(int drawItemNo) const {
    const TRVDrawLineInfo* d = DrawItems[drawItemNo];
    if (d->Length <= 0 || GetItemStyleNo(d->ItemNo) < 0) return false;
    return IsSpaceCharAt(GetItemText(d->ItemNo), d->Offs, ReadItemOptionBits(d->ItemNo));
}

void TCustomRVFormattedData::MirrorLineRTL(int first, int last, int shift) {
    if (last < first) return;
    std::vector<int> gaps;
    gaps.reserve(size_t(last - first));
    for (int i = first; i < last; ++i)
        gaps.push_back(DrawItems[i + 1]->Left - (DrawItems[i]->Left + DrawItems[i]->Width));
    int x = DrawItems[first]->Left - shift;
    for (int i = last; i >= first; --i) {
        DrawItems[i]->Left = x;
        x += DrawItems[i]->Width;
        if (i > first) x += gaps[size_t(i - 1 - first)];
    }
}

void TCustomRVFormattedData::GetItemIndents(int itemNo, bool firstLine, int& right, int& left,
                                            int& paraStartItemNo) {
    TRVStyle* style = GetRVStyle();
    if (paraStartItemNo < 0 || paraStartItemNo > itemNo)
        paraStartItemNo = GetParagraphStartItem(itemNo);
    const TParaInfo& para = style->ParaStyles.GetItem(GetItemParaNo(itemNo));
    bool rtl = GetParaBiDiMode(GetItemParaNo(itemNo)) == TRVBiDiMode::rvbdRightToLeft;
    TCustomRVItemInfo* first = GetItem(paraStartItemNo);
    if (first->StyleNo == rvsListMarker) {
        TRVListLevel* level = static_cast<TRVMarkerItemInfo*>(first)->GetLevelInfo(style);
        if (level) {
            int listIndent =
                (firstLine && itemNo == paraStartItemNo) ? level->MarkerIndent : level->LeftIndent;
            if (rtl) {
                right = listIndent;
                left = para.LeftIndent;
            } else {
                left = listIndent;
                right = para.RightIndent;
            }
            return;
        }
    }
    TCustomRVItemInfo* item = GetItem(itemNo);
    left = para.LeftIndent;
    right = para.RightIndent;
    if (firstLine && !item->GetLineBreakBefore() && !item->IsFullLine()) left += para.FirstIndent;
}

int TCustomRVFormattedData::GetItemIndentsSum(int itemNo, int& paraStartItemNo) {
    TRVStyle* style = GetRVStyle();
    if (paraStartItemNo < 0 || paraStartItemNo > itemNo)
        paraStartItemNo = GetParagraphStartItem(itemNo);
    int paraNo = GetItemParaNo(itemNo);
    const TParaInfo& para = style->ParaStyles.GetItem(paraNo);
    TCustomRVItemInfo* first = GetItem(paraStartItemNo);
    if (first->StyleNo == rvsListMarker) {
        TRVListLevel* level = static_cast<TRVMarkerItemInfo*>(first)->GetLevelInfo(style);
        if (level) {
            bool rtl = GetParaBiDiMode(paraNo) == TRVBiDiMode::rvbdRightToLeft;
            return level->LeftIndent + std::max(level->FirstIndent, 0) +
                   (rtl ? para.LeftIndent : para.RightIndent);
        }
    }
    int sum = para.LeftIndent + para.RightIndent;
    if (para.FirstIndent > 0 && !GetItem(itemNo)->IsFullLine()) sum += para.FirstIndent;
    return sum;
}

void TCustomRVFormattedData::StartNewLine(int itemNo, bool paraStart, bool wrapped) {
    TRVStyle* style = GetRVStyle();
    TrimLineEnd(wrapped);
    FinishLine(paraStart);
    const TParaInfo& para = style->ParaStyles.GetItem(GetItemParaNo(itemNo));
    int left = 0, right = 0;
    if (paraStart) FFmt.ParaStart = itemNo;
    GetItemIndents(itemNo, paraStart, right, left, FFmt.ParaStart);
    if (paraStart) {
        if (itemNo > 0)
            FFmt.BaseLine += SY(style->ParaStyles.GetItem(GetItemParaNo(itemNo - 1)).SpaceAfter);
        FFmt.BaseLine += SY(para.SpaceBefore);
    }
    int width = para.Options.Contains(TRVParaOption::rvpaoNoWrap) ? MinWidth : TextWidth;
    FFmt.AvailWidth = width - SX(left + right);
    FFmt.LineLeft = SX(left) + FFmt.LM;
    FFmt.X = 0;
    FFmt.AtParaStart = paraStart;
    FFmt.LineOpen = false;
}

// ---------------------------------------------------------------------------------------------
// Items.

void TCustomRVFormattedData::SelectTextStyle(int styleNo, int itemNo) {
    if (styleNo == FFmt.LastTextStyle) return;
    TRVStyle* style = GetRVStyle();
    TRVBiDiMode bidi = GetItemBiDiMode(itemNo);
    style->ApplyStyle(FFmt.Canvas, styleNo, bidi);
    FFmt.DC = FFmt.Canvas->Handle();
    const TFontInfo& fi = style->TextStyles.GetItem(styleNo);
    if (fi.CharSpacing != 0 && FFmt.Sad.ScreenPPIX != FFmt.Sad.DevicePPIX &&
        bidi == TRVBiDiMode::rvbdUnspecified)
        SetTextCharacterExtra(FFmt.DC, SX(fi.CharSpacing));
    TEXTMETRICW tm{};
    GetTextMetricsW(FFmt.DC, &tm);
    FFmt.LastTextStyle = styleNo;
    FFmt.VShift = MulDiv(tm.tmHeight, TextStyleVShift(fi), 100);
    FFmt.TextHeight = tm.tmHeight;
    FFmt.AveCharWidth = tm.tmAveCharWidth;
    FFmt.TextAscent = tm.tmAscent + FFmt.VShift;
    if (GetFlags().Contains(TRVFlag::UseExternalLeading))
        FFmt.TextAscent += tm.tmExternalLeading;
    FFmt.TextDescent = tm.tmDescent - FFmt.VShift;
}

void TCustomRVFormattedData::FormatItemRange(int firstItem, int lastItem) {
    TRVStyle* style = GetRVStyle();
    for (int i = firstItem; i <= lastItem; ++i) {
        TCustomRVItemInfo* item = GetItem(i);
        if (item->StartsParagraph()) FFmt.ParaStart = i;
        if (item->StyleNo < 0) {
            FormatItem(i, GetItemText(i), 0, 0);
            continue;
        }
        const std::string* text = &GetItemText(i);
        std::string caps;
        if (style->TextStyles.GetItem(item->StyleNo).AllCaps) {
            caps = GetDisplayText(i);
            text = &caps;
        }
        if (style->ParaStyles.GetItem(item->ParaNo).Alignment == TRVAlignment::rvaJustify)
            FormatJustifiedItem(i, *text);
        else
            FormatItem(i, *text, 0, GetTextCharLength(*text, item->ItemOptions));
    }
}

void TCustomRVFormattedData::FormatItem(int itemNo, const std::string& text, int startChar,
                                        int charCount) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (startChar == 0 && (!item->GetJoinsPrevious() || FFmt.ForceNewLine)) FFmt.AtParaStart = true;
    if (item->StyleNo < 0) {
        NoteLaidOutItem(*item);
        if (item->IsFullLine())
            FormatFullLineItem(itemNo);
        else
            FormatRectItem(itemNo);
        return;
    }
    if (item->IsUnicode()) {
        BytesToWideBuf(text, FWideBuf);
        charCount = std::min(charCount, int(FWideBuf.size()) - startChar);
        BreakTextRun(itemNo, FWideBuf.data() + startChar, std::max(charCount, 0), startChar);
    } else {
        charCount = std::min(charCount, int(text.size()) - startChar);
        BreakTextRun(itemNo, text.data() + startChar, std::max(charCount, 0), startChar);
    }
}

void TCustomRVFormattedData::FormatJustifiedItem(int itemNo, const std::string& text) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    auto run = [&](auto* chars, int len) {
        if (len == 0) {
            BreakTextRun(itemNo, chars, 0, 0);
            return;
        }
        int start = 0;
        while (start < len) {
            // Each word goes with the space in front of it, up to the next space.
            const int from = start + (chars[start] == ' ' ? 1 : 0);
            int end = len;
            if constexpr (sizeof(*chars) == 1) {
                if (const int at = FindByteInBuffer(chars + from, ' ', len - from); at > 0)
                    end = from + at - 1;
            } else if (const char16_t* at = FindWideChar(chars + from, u' ', len - from)) {
                end = int(at - chars);
            }
            BreakTextRun(itemNo, chars + start, end - start, start);
            start = end;
        }
    };
    if (item->IsUnicode()) {
        BytesToWideBuf(text, FWideBuf);
        run(FWideBuf.data(), int(FWideBuf.size()));
    } else {
        run(text.data(), int(text.size()));
    }
}

void TCustomRVFormattedData::FormatFullLineItem(int itemNo) {
    TRVStyle* style = GetRVStyle();
    TCustomRVItemInfo* item = GetItem(itemNo);
    const TParaInfo& para = style->ParaStyles.GetItem(item->ParaNo);
    FinishLine(true);
    if (itemNo > 0)
        FFmt.BaseLine += SY(style->ParaStyles.GetItem(GetItemParaNo(itemNo - 1)).SpaceAfter);
    FFmt.BaseLine += SY(para.SpaceBefore);
    // The spacing of the line above applies before a line of its own too.
    FFmt.BaseLine += FFmt.Extra;
    FFmt.Extra = 0;
    int prevDescent = FFmt.Descent;

    std::unique_ptr<TRVDrawLineInfo> dli;
    if (item->StyleNo == rvsBreak) {
        FFmt.BaseLine += SY(style->ParaStyles.GetItem(0).SpaceBefore);
        int h = SY(5);
        dli = TRVDrawLineInfo::CreateEx(FFmt.LM, FFmt.BaseLine + prevDescent, TextWidth, 2 * h + 1,
                                        itemNo, true);
        FFmt.BaseLine += prevDescent + h + 1;
        FFmt.Ascent = h;
        FFmt.Descent = h;
    } else {
        int avail = TextWidth - SX(para.LeftIndent + para.RightIndent);
        int left = SX(para.LeftIndent) + FFmt.LM;
        bool printing = GetFlags().Contains(TRVFlag::Printing);
        if (printing) dli = item->CreatePrintingDrawItem(this, &FFmt.Sad);
        if (!dli) dli = std::make_unique<TRVDrawLineInfo>();
        int out1 = 0, out2 = 0;
        item->AdjustToDocWidth(avail, dli.get(), FFmt.NoCaching, out1, out2, &FFmt.Sad, this,
                               FFmt.Canvas, GetFlags().Contains(TRVFlag::CanUseDeviceFit));
        if (auto* multi = dynamic_cast<TRVMultiDrawItemInfo*>(dli.get());
            !multi || !multi->DeviceSized) {
            dli->Width = SX(item->GetBoxWidth());
            dli->Height = SY(item->GetBoxHeight());
        }
        if (para.Alignment == TRVAlignment::rvaRight) {
            left += avail - dli->Width;
        } else if (para.Alignment == TRVAlignment::rvaCenter) {
            left += (avail - dli->Width) / 2;
            left = std::max(left, 0);
        }
        dli->Left = left;
        dli->Top = FFmt.BaseLine + prevDescent;
        dli->ItemNo = itemNo;
        dli->FromNewLine = true;
        FFmt.BaseLine += prevDescent + dli->Height;
        FFmt.Ascent = dli->Height;
        FFmt.Descent = 0;
    }
    if (item->GetKindFlag(rvifChangesCanvasFont)) FFmt.LastTextStyle = -1;
    FFmt.LineFirstDrawItem = NextDrawItemIndex();
    FFmt.LineOpen = true;
    FFmt.LineFinished = false;
    FFmt.TrimmedThisLine = true;
    FFmt.ForceNewLine = true;
    if (!SharesItems()) item->DrawItemNo = FFmt.LineFirstDrawItem;
    const int left = dli->Left, top = dli->Top;
    FFmt.X = dli->Width;
    AddDrawItem(std::move(dli));
    // A printed item has no hyperlink areas; its sub-documents belong to the shown document.
    if (GetFlags().Contains(TRVFlag::UseJumps) &&
        !State.Contains(TRVState::rvstFormattingPart) &&
        !GetFlags().Contains(TRVFlag::Printing))
        item->BuildJumps(left, top, NextJumpNo);
}

void TCustomRVFormattedData::FormatRectItem(int itemNo) {
    TRVStyle* style = GetRVStyle();
    TCustomRVItemInfo* item = GetItem(itemNo);
    // Items of other classes that share lines sit on the baseline, unshifted.
    const auto* rect = dynamic_cast<const TRVRectItemInfo*>(item);
    const TParaInfo& para = style->ParaStyles.GetItem(item->ParaNo);
    bool printing = GetFlags().Contains(TRVFlag::Printing);
    std::unique_ptr<TRVDrawLineInfo> owned;
    if (printing) owned = item->CreatePrintingDrawItem(this, &FFmt.Sad);
    if (!owned) owned = std::make_unique<TRVDrawLineInfo>();
    TRVDrawLineInfo* dli = owned.get();
    int out1 = 0, out2 = 0;
    item->AdjustToDocWidth(FFmt.AvailWidth, dli, FFmt.NoCaching, out1, out2, &FFmt.Sad, this,
                           FFmt.Canvas, GetFlags().Contains(TRVFlag::CanUseDeviceFit));
    if (item->GetKindFlag(rvifChangesCanvasFont)) FFmt.LastTextStyle = -1;
    int width = SX(item->GetBoxWidth());
    int height = SY(item->GetBoxHeight());
    int descent = SY(item->GetDescentValue());
    int shift = !rect ? 0 : rect->VShiftAbs ? SY(rect->VShift) : MulDiv(height, rect->VShift, 100);
    int above = rect && rect->VAlign == TRVVAlign::rvvaMiddle ? height / 2 : height - descent;

    bool prevIsMarker = itemNo > 0 && GetItemStyleNo(itemNo - 1) == rvsListMarker;
    bool stays = item->GetJoinsPrevious() && !FFmt.ForceNewLine && FFmt.LineOpen &&
                 dynamic_cast<TRVMultiDrawItemInfo*>(dli) == nullptr &&
                 (FFmt.X + width <= FFmt.AvailWidth ||
                  para.Options.Contains(TRVParaOption::rvpaoNoWrap) || prevIsMarker);
    dli->ItemNo = itemNo;
    dli->Width = width;
    dli->Height = height;
    dli->Offs = 0;
    dli->Length = 0;
    if (stays) {
        RaiseLineBaseline(above + shift);
        dli->Top = FFmt.BaseLine - above - shift;
        dli->FromNewLine = false;
        FFmt.Descent = std::max(FFmt.Descent, height - above - shift);
    } else {
        bool paraStart = item->StartsParagraph() || (itemNo == 0);
        const bool startsLine = !item->GetJoinsPrevious() || FFmt.ForceNewLine;
        if (!startsLine) paraStart = false;
        StartNewLine(itemNo, paraStart, !startsLine);
        OpenLine(dli, above + shift, 0);
        FFmt.Descent = height - FFmt.Ascent;
    }
    dli->Left = FFmt.X + FFmt.LineLeft;
    FFmt.X += width;
    if (!SharesItems()) item->DrawItemNo = NextDrawItemIndex();
    int index = NextDrawItemIndex();
    AddDrawItem(std::move(owned));
    FFmt.AtParaStart = false;
    if (GetFlags().Contains(TRVFlag::UseJumps) && item->IsHyperlink(style)) {
        item->JumpID = NextJumpNo++;
        AddJump(*dli, index, item->JumpID, item->GetHyperlinkCursor(style));
    }
}

template <class Ch>
int TCustomRVFormattedData::CountFittingChars(const Ch* text, int len, int width, bool noWrap,
                                              int& measuredWidth) {
    HDC dc = FFmt.DC;
    // A run much longer than the line is measured by a prefix that surely overflows it, so
    // that breaking a long item costs each line about its own length, not the item's.
    int probe = len;
    if (!noWrap && FFmt.AveCharWidth > 0) {
        int64_t guess = int64_t(width) / FFmt.AveCharWidth * 2 + 16;
        if (guess < len) probe = int(guess);
    }
    int probeW = Measure(dc, text, probe);
    while (probe < len && probeW <= width) {
        probe = int(std::min<int64_t>(len, int64_t(probe) * 2));
        probeW = Measure(dc, text, probe);
    }
    measuredWidth = probeW;
    if (noWrap || (probe == len && probeW > 0 && probeW <= width)) return len;
    int lo = 0, loW = 0, hi = probe, hiW = probeW;
    while (lo + 1 < hi) {
        if (hiW == loW) ++hiW;
        int64_t g = int64_t(width - loW) * (hi - lo) / (hiW - loW) + lo;
        int guess = int(std::clamp<int64_t>(g, lo + 1, hi - 1));
        int gw = Measure(dc, text, guess);
        if (gw == width) {
            lo = hi = guess;
            loW = hiW = gw;
        } else if (gw < width && gw > 0) {
            lo = guess;
            loW = gw;
        } else {
            hi = guess;
            hiW = gw;
        }
    }
    if constexpr (sizeof(Ch) == 2) {
        // Never end inside a character cluster (a surrogate pair, a letter with its marks).
        if (lo > 0 && lo < len) {
            std::u16string_view s(text, size_t(len));
            size_t clusterEnd = CharNextW(s, CharPrevW(s, size_t(lo)));
            if (clusterEnd != size_t(lo)) {
                int w2 = Measure(dc, text, int(clusterEnd));
                if (w2 <= width) {
                    lo = int(clusterEnd);
                    loW = w2;
                } else {
                    lo = int(CharPrevW(s, size_t(lo)));
                    loW = lo > 0 ? Measure(dc, text, lo) : 0;
                }
            }
        }
    }
    measuredWidth = loW;
    return lo;
}

int TCustomRVFormattedData::CountFittingCharsA(const char* text, int len, int width, bool noWrap,
                                               int& measuredWidth) {
    return CountFittingChars(text, len, width, noWrap, measuredWidth);
}

int TCustomRVFormattedData::CountFittingCharsW(const char16_t* text, int len, int width,
                                               bool noWrap, int& measuredWidth) {
    return CountFittingChars(text, len, width, noWrap, measuredWidth);
}

template <class Ch>
void TCustomRVFormattedData::BreakTextRun(int itemNo, const Ch* text, int len, int startChar) {
    TRVStyle* style = GetRVStyle();
    TCustomRVItemInfo* item = GetItem(itemNo);
    const bool trim = GetFlags().Contains(TRVFlag::TrimSpaces);
    const TParaInfo& para = style->ParaStyles.GetItem(item->ParaNo);
    const bool noWrap = para.Options.Contains(TRVParaOption::rvpaoNoWrap);
    const bool startsLine = startChar == 0 && (!item->GetJoinsPrevious() || FFmt.ForceNewLine);
    const bool paraStart =
        startsLine && (item->StartsParagraph() || FFmt.ForceNewLine) && !item->GetLineBreakBefore();
    const bool afterMarker =
        startChar == 0 && itemNo > 0 && GetItemStyleNo(itemNo - 1) == rvsListMarker;
    const bool hyperlink = GetFlags().Contains(TRVFlag::UseJumps) && item->IsHyperlink(style);
    SelectTextStyle(item->StyleNo, itemNo);

    bool placedAny = false;
    auto place = [&](int offs, int count, int width) {
        const bool firstPiece = !placedAny && startChar == 0;
        placedAny = true;
        auto owned = std::make_unique<TRVDrawLineInfo>();
        TRVDrawLineInfo* dli = owned.get();
        dli->ItemNo = itemNo;
        dli->Offs = offs;
        dli->Length = count;
        dli->Width = width;
        dli->Height = FFmt.TextHeight;
        if (!FFmt.LineOpen) {
            OpenLine(dli, FFmt.TextAscent, FFmt.TextDescent);
        } else {
            RaiseLineBaseline(FFmt.TextAscent);
            dli->Top = FFmt.BaseLine - FFmt.TextAscent;
            FFmt.Descent = std::max(FFmt.Descent, FFmt.TextDescent);
        }
        dli->Left = FFmt.X + FFmt.LineLeft;
        FFmt.X += width;
        int index = NextDrawItemIndex();
        if (firstPiece && !SharesItems()) item->DrawItemNo = index;
        AddDrawItem(std::move(owned));
        if (hyperlink) {
            if (firstPiece) item->JumpID = NextJumpNo++;
            AddJump(*dli, index, item->JumpID, style->TextStyles.GetItem(item->StyleNo).JumpCursor);
        }
        FFmt.AtParaStart = false;
    };

    if (len == 0) {
        // On a line already filled past its width (by a space kept for trimming) the empty
        // run does not fit either: it goes to the next line, and the space is trimmed.
        if (startsLine || (FFmt.LineOpen && FFmt.X > FFmt.AvailWidth))
            StartNewLine(itemNo, paraStart, !startsLine);
        place(startChar + 1, 0, 0);
        return;
    }

    int pos = 0;
    bool firstRound = true;
    while (pos < len) {
        bool spaceSkipped = false;
        if (FFmt.SkipSpace) {
            FFmt.SkipSpace = false;
            if (text[pos] == Ch(' ')) {
                ++pos;
                spaceSkipped = true;
                if (pos >= len) break;
            }
        }
        if (!firstRound || startsLine) {
            StartNewLine(itemNo, paraStart && firstRound, !(startsLine && firstRound));
            FFmt.AtParaStart = startsLine && firstRound;
            if (trim && !FFmt.AtParaStart && !spaceSkipped && len - pos > 1 && text[pos] == Ch(' '))
                ++pos;
        }
        firstRound = false;
        const int remaining = len - pos;
        const Ch* run = text + pos;
        int avail = std::max(FFmt.AvailWidth - FFmt.X, 0);
        int measured = -1;
        int n = CountFittingChars(run, remaining, avail, noWrap, measured);
        int measuredCount = n;
        const bool lineEmpty = !FFmt.LineOpen;
        const bool mayCut = lineEmpty || (afterMarker && !placedAny);
        int pieceLen = n;
        if (n == 0) {
            if (!mayCut) continue; // the run goes to a new line
            n = 1;
            if constexpr (sizeof(Ch) == 2) {
                std::u16string_view s(run, size_t(remaining));
                n = int(CharNextW(s, 0));
            }
            pieceLen = n;
            measured = -1;
        } else if (n < remaining) {
            int spacePos = -1, classPos = -1;
            if constexpr (sizeof(Ch) == 1) {
                for (int p = n - 1; p >= 0; --p)
                    if (run[p] == ' ') {
                        spacePos = p;
                        break;
                    }
            } else {
                // A space right after the fitting characters is no break here: with trimming
                // the line takes it (below); without, an earlier break is looked for.
                int r = FindLineBreakPosW(run, remaining, n);
                if (r == n && run[r] == u' ' && !trim) r = FindLineBreakPosW(run, remaining, n - 1);
                if (r >= 0 && !(r == n && run[r] == u' ')) {
                    if (run[r] == u' ')
                        spacePos = r;
                    else if (r > 0)
                        classPos = r;
                }
            }
            if (spacePos >= 0) {
                if (!trim || spacePos == 0) {
                    pieceLen = spacePos + 1;
                } else {
                    pieceLen = spacePos;
                    FFmt.SkipSpace = true;
                }
            } else if (classPos > 0) {
                pieceLen = classPos;
            } else if (trim && run[n] == Ch(' ') &&
                       (n + 1 < remaining || NextItemContinuesLine(itemNo))) {
                pieceLen = n + 1;
            } else if (mayCut) {
                pieceLen = n;
            } else {
                continue; // the word goes to a new line
            }
        }
        int width = (pieceLen == measuredCount && measured >= 0) ? measured
                                                                 : Measure(FFmt.DC, run, pieceLen);
        place(startChar + pos + 1, pieceLen, width);
        pos += pieceLen;
    }
}

bool TCustomRVFormattedData::NextItemContinuesLine(int itemNo) const {
    return itemNo + 1 < ItemCount() && GetItem(itemNo + 1)->GetJoinsPrevious();
}

} // namespace epc
