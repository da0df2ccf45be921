// Tables in RVF: the record holds one component stream whose root carries the table's published
// properties and, in the custom property "C", every cell with its spans, its own published
// properties and its contents as nested RVF.

#include <algorithm>

#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Graphics.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/PropertyRegistry.h"
#include "richtext/document/RVControlSupport.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVFReadWrite.h"
#include "richtext/table/RVTable.h"

namespace epc {

namespace {

constexpr const char* errCellsEnd = "Wrong end of cells list";
constexpr const char* errCellsBad = "Invalid cells list";
constexpr const char* errCellProperty = "Unknown property of a table cell";

// Positions a stored table may declare per byte left in its stream: covered positions store
// nothing, so a few spanning cells can stand for many positions, but never without bound.
constexpr int64_t MaxPositionsPerByte = 16;

class TRVTableSW;

// A cell's contents: the rest of the stream is nested RVF.
void LoadCellContents(TRVTableCellData& cell, TStream& s) {
    TMemoryStream body;
    int64_t len = s.Size() - s.Position();
    if (len > 0) body.CopyFrom(s, len);
    body.SetPosition(0);
    if (!cell.LoadFromRvfStream(body)) throw EReadError(SReadError);
}

// A property that a cell's carriers do not know may hold content: the table does not load
// rather than lose it.
void RefuseUnknownProperty(TFiler* filer) {
    auto* reader = dynamic_cast<TReader*>(filer);
    if (reader && reader->PropertyPending()) throw EReadError(errCellProperty);
}

// The carrier of one cell: its published properties and contents travel as those of "C".
class TD : public TComponent {
public:
    explicit TD(TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TD"; }
    TRVTableCellData* C() const { return FCell; }
    void SetCell(TRVTableCellData* cell) { FCell = cell; }
    int Counter = 0;
    TRVTableSW* Table = nullptr;

    // Earlier files hold the contents here, as "RVF"; they are read, never written.
    void DefineProperties(TFiler* filer) override {
        TComponent::DefineProperties(filer);
        filer->DefineBinaryProperty(
            "RVF",
            [this](TStream& s) {
                if (!FCell) throw EReadError(errCellsBad);
                LoadCellContents(*FCell, s);
            },
            [](TStream&) {}, false);
        RefuseUnknownProperty(filer);
    }

private:
    TRVTableCellData* FCell = nullptr;
};

// The carrier of one table.
class TRVTableSW : public TComponent {
public:
    explicit TRVTableSW(TComponent* owner) : TComponent(owner), FTD(std::make_unique<TD>(nullptr)) {
        FTD->Table = this;
    }
    std::string ClassName() const override { return "TRVTableSW"; }
    TRVTableItemInfo* T() const { return FTable; }
    void SetTable(TRVTableItemInfo* table) { FTable = table; }

    void DefineProperties(TFiler* filer) override {
        TComponent::DefineProperties(filer);
        filer->DefineProperty(
            "C", [this](TReader& r) { ReadCells(r); }, [this](TWriter& w) { WriteCells(w); },
            FTable != nullptr);
        filer->DefineProperty(
            "RowVAlign", [this](TReader& r) { ReadRowVAlign(r); },
            [this](TWriter& w) { WriteRowVAlign(w); }, HasRowVAlign());
    }

private:
    int FirstRow() const { return std::clamp(FTable->SaveFirstRow, 0, FTable->RowCount()); }
    int SavedRowCount() const {
        int rest = FTable->RowCount() - FirstRow();
        return FTable->SaveRowCount < 0 ? rest : std::min(FTable->SaveRowCount, rest);
    }

    void WriteCells(TWriter& w) {
        const int first = FirstRow(), count = SavedRowCount();
        w.WriteListBegin();
        w.WriteInteger(count);
        if (count > 0) {
            w.WriteInteger(FTable->ColCount());
            w.WriteListBegin();
            for (int r = first; r < first + count; ++r)
                for (int c = 0; c < FTable->ColCount(); ++c) {
                    TRVTableCellData* cell = FTable->Rows.GetRow(r)->Cell(c);
                    if (!cell) continue;
                    // A page part cuts spans that reach beyond it.
                    w.WriteInteger(cell->ColSpan);
                    w.WriteInteger(std::min(cell->RowSpan, first + count - r));
                    FTD->SetCell(cell);
                    w.WriteComponent(FTD.get());
                    ++FTD->Counter;
                }
            FTD->SetCell(nullptr);
            w.WriteListEnd();
        }
        w.WriteListEnd();
    }

    // Stored spans are restored as they were: the covered positions lose their cells. Spans
    // that leave the grid or overlap an earlier cell make the list invalid.
    void ReadCells(TReader& r) {
        TRVTableRows& rows = FTable->Rows;
        r.ReadListBegin();
        const int32_t rowCount = r.ReadInteger();
        int32_t colCount = 0;
        if (rowCount < 0) throw EReadError(errCellsBad);
        if (rowCount > 0) {
            colCount = r.ReadInteger();
            const int64_t left = std::max<int64_t>(r.Stream().Size() - r.Stream().Position(), 0);
            // Rows without columns store nothing each (a table whose last column was
            // deleted); they are still bounded by what the stream holds.
            if (colCount < 0 ||
                int64_t(rowCount) * std::max(colCount, 1) > (left + 1) * MaxPositionsPerByte)
                throw EReadError(errCellsBad);
        }
        rows.Reset(rowCount, rowCount > 0 ? colCount : 0);
        if (rowCount > 0) {
            r.ReadListBegin();
            for (int row = 0; row < rowCount; ++row)
                for (int col = 0; col < colCount; ++col) {
                    TRVTableCellData* cell = rows.GetRow(row)->Cell(col);
                    if (!cell) continue;
                    if (r.EndOfList()) throw EReadError(errCellsEnd);
                    const int32_t colSpan = r.ReadInteger();
                    const int32_t rowSpan = r.ReadInteger();
                    if (colSpan < 1 || rowSpan < 1 || colSpan > colCount - col ||
                        rowSpan > rowCount - row)
                        throw EReadError(errCellsBad);
                    for (int rr = row; rr < row + rowSpan; ++rr)
                        for (int cc = col; cc < col + colSpan; ++cc)
                            if (!rows.GetRow(rr)->Cell(cc)) throw EReadError(errCellsBad);
                    for (int rr = row; rr < row + rowSpan; ++rr)
                        for (int cc = col; cc < col + colSpan; ++cc)
                            if (rr != row || cc != col) rows.GetRow(rr)->TakeCell(cc);
                    cell->ColSpan = colSpan;
                    cell->RowSpan = rowSpan;
                    FTD->SetCell(cell);
                    r.ReadComponent(FTD.get());
                    ++FTD->Counter;
                }
            FTD->SetCell(nullptr);
            if (!r.EndOfList()) throw EReadError(errCellsEnd);
            r.ReadListEnd();
        }
        r.ReadListEnd();
        FCellsRead = true;
    }

    bool HasRowVAlign() const {
        if (!FTable) return false;
        const int first = FirstRow(), count = SavedRowCount();
        for (int r = first; r < first + count; ++r)
            if (FTable->Rows.GetRow(r)->VAlign != 0) return true;
        return false;
    }

    void WriteRowVAlign(TWriter& w) {
        const int first = FirstRow(), count = SavedRowCount();
        w.WriteListBegin();
        for (int r = first; r < first + count; ++r)
            w.WriteInteger(FTable->Rows.GetRow(r)->VAlign);
        w.WriteListEnd();
    }

    // One value per row, each a known alignment.
    void ReadRowVAlign(TReader& r) {
        r.ReadListBegin();
        const int rowCount = FTable->RowCount();
        for (int row = 0; row < rowCount; ++row) {
            if (r.EndOfList()) throw EReadError(errCellsBad);
            const int32_t v = r.ReadInteger();
            if (v < rvcTop || v > rvcVDefault) throw EReadError(errCellsBad);
            FTable->Rows.GetRow(row)->VAlign = TRVCellVAlign(v);
        }
        if (!r.EndOfList()) throw EReadError(errCellsBad);
        r.ReadListEnd();
    }

public:
    bool FCellsRead = false;

private:
    TRVTableItemInfo* FTable = nullptr;
    std::unique_ptr<TD> FTD;
};

const TIdentList BorderStyleIdents{"rvtbRaised", "rvtbLowered", "rvtbColor", "rvtbRaisedColor",
                                   "rvtbLoweredColor"};
const TIdentList BackgroundStyleIdents{"rvbsColor", "rvbsStretched", "rvbsTiled", "rvbsCentered"};

const bool TableClassesRegistered = [] {
    using T = TRVTableItemInfo;
    TPublished<T>("TRVTableItemInfo", "TPersistent")
        .Set(
            "Options", [](T& t) { return t.Options; },
            [](T& t, TRVTableOptions v) { t.Options = v; },
            {"rvtoEditing", "rvtoRowSizing", "rvtoColSizing", "rvtoRowSelect", "rvtoColSelect",
             "rvtoRTFSaveCellPixelBestWidth", "rvtoRTFAllowAutofit", "rvtoHideGridLines",
             "rvtoOverlappingCorners", "rvtoCellBelowBorders"},
            31)
        .Set(
            "PrintOptions", [](T& t) { return t.PrintOptions; },
            [](T& t, TRVTablePrintOptions v) { t.PrintOptions = v; },
            {"rvtoHalftoneBorders", "rvtoRowsSplit", "rvtoWhiteBackground"}, 3)
        .Integer("BestWidth", &T::BestWidth, &T::SetBestWidth, 0)
        .Color("Color", &T::Color, &T::SetColor, clWindow)
        .Enum("BackgroundStyle", &T::BackgroundStyle, &T::SetBackgroundStyle, BackgroundStyleIdents,
              0)
        .Integer("HeadingRowCount", &T::HeadingRowCount, &T::SetHeadingRowCount, 0)
        .String(
            "TextRowSeparator", [](T& t) { return t.TextRowSeparator; },
            [](T& t, const std::string& v) { t.TextRowSeparator = v; })
        .String(
            "TextColSeparator", [](T& t) { return t.TextColSeparator; },
            [](T& t, const std::string& v) { t.TextColSeparator = v; })
        .Integer("BorderWidth", &T::BorderWidth, &T::SetBorderWidth, 0)
        .Color("BorderColor", &T::BorderColor, &T::SetBorderColor, clWindowText)
        .Color("BorderLightColor", &T::BorderLightColor, &T::SetBorderLightColor, clBtnHighlight)
        .Enum("BorderStyle", &T::BorderStyle, &T::SetBorderStyle, BorderStyleIdents, rvtbRaised)
        .Integer("BorderVSpacing", &T::BorderVSpacing, &T::SetBorderVSpacing, 2)
        .Integer("BorderHSpacing", &T::BorderHSpacing, &T::SetBorderHSpacing, 2)
        .Integer("CellBorderWidth", &T::CellBorderWidth, &T::SetCellBorderWidth, 0)
        .Color("CellBorderColor", &T::CellBorderColor, &T::SetCellBorderColor, clWindowText)
        .Color("CellBorderLightColor", &T::CellBorderLightColor, &T::SetCellBorderLightColor,
               clBtnHighlight)
        .Integer("CellPadding", &T::CellPadding, &T::SetCellPadding, 1)
        .Enum("CellBorderStyle", &T::CellBorderStyle, &T::SetCellBorderStyle, BorderStyleIdents,
              rvtbLowered)
        .Integer("VRuleWidth", &T::VRuleWidth, &T::SetVRuleWidth, 0)
        .Color("VRuleColor", &T::VRuleColor, &T::SetVRuleColor, clWindowText)
        .Integer("HRuleWidth", &T::HRuleWidth, &T::SetHRuleWidth, 0)
        .Color("HRuleColor", &T::HRuleColor, &T::SetHRuleColor, clWindowText)
        .Integer("CellVSpacing", &T::CellVSpacing, &T::SetCellVSpacing, 2)
        .Integer("CellHSpacing", &T::CellHSpacing, &T::SetCellHSpacing, 2)
        .Boolean("VOutermostRule", &T::VOutermostRule, &T::SetVOutermostRule, false)
        .Boolean("HOutermostRule", &T::HOutermostRule, &T::SetHOutermostRule, false);

    using C = TRVTableCellData;
    TPublished<C>("TRVTableCellData", "TPersistent")
        .Color(
            "Color", [](C& c) { return c.Color; }, [](C& c, TColor v) { c.Color = v; }, clNone)
        .Color(
            "BorderColor", [](C& c) { return c.BorderColor; },
            [](C& c, TColor v) { c.BorderColor = v; }, clNone)
        .Color(
            "BorderLightColor", [](C& c) { return c.BorderLightColor; },
            [](C& c, TColor v) { c.BorderLightColor = v; }, clNone)
        .Integer(
            "BestWidth", [](C& c) { return c.BestWidth; }, [](C& c, int32_t v) { c.BestWidth = v; },
            0)
        .Integer(
            "BestHeight", [](C& c) { return c.BestHeight; },
            [](C& c, int32_t v) { c.BestHeight = v; }, 0)
        .Set("VisibleBorders", &C::GetVisibleBordersBits, &C::SetVisibleBordersBits,
             {"Left", "Top", "Right", "Bottom"}, 15)
        .Enum(
            "VAlign", [](C& c) { return c.VAlign; }, [](C& c, TRVCellVAlign v) { c.VAlign = v; },
            {"rvcTop", "rvcMiddle", "rvcBottom", "rvcVDefault"}, rvcVDefault)
        .Enum("BackgroundStyle", &C::BackgroundStyle, &C::SetBackgroundStyle, BackgroundStyleIdents,
              0);

    TPublished<TRVTableSW>("TRVTableSW", "TComponent").Object("T", &TRVTableSW::T);
    TPublished<TD>("TD", "TComponent").Object("C", &TD::C);
    RegisterClass<TRVTableSW>("TRVTableSW");
    RegisterClass<TD>("TD");
    return true;
}();

void WritePictureClass(TStream& s, TGraphic& graphic) {
    const std::string cls = graphic.ClassName();
    s.WriteInt32(int32_t(cls.size()));
    s.WriteBuffer(cls.data(), int64_t(cls.size()));
}

// The stored class name of a picture; only registered picture classes are accepted.
std::string ReadPictureClass(TStream& s) {
    const int32_t len = s.ReadInt32();
    if (len <= 0 || len > 255 || len > s.Size() - s.Position()) throw EReadError(SReadError);
    std::string cls(size_t(len), '\0');
    s.ReadBuffer(cls.data(), len);
    if (!IsGraphicClassRegistered(cls)) throw EReadError(SReadError);
    return cls;
}

std::unique_ptr<TGraphic> CreatePictureOfStoredClass(TStream& s) {
    std::unique_ptr<TGraphic> graphic = CreateGraphicByClassName(ReadPictureClass(s));
    if (!graphic) throw EReadError(SReadError);
    return graphic;
}

} // namespace

uint8_t TRVTableCellData::GetVisibleBordersBits() const {
    return uint8_t((VisibleBorders.Left ? 1 : 0) | (VisibleBorders.Top ? 2 : 0) |
                   (VisibleBorders.Right ? 4 : 0) | (VisibleBorders.Bottom ? 8 : 0));
}

void TRVTableCellData::SetVisibleBordersBits(uint8_t bits) {
    VisibleBorders.SetValues(bits & 1, bits & 2, bits & 4, bits & 8);
}

TRVFOptions TRVTableCellData::GetRVFOptions() const {
    TRVTableItemInfo* table = GetTable();
    TRVFOptions o = table && table->GetRVData() ? table->GetRVData()->GetRVFOptions()
                                                : TCustomRVData::GetRVFOptions();
    for (TRVFOption x : {TRVFOption::rvfoSaveTextStyles, TRVFOption::rvfoSaveParaStyles,
                         TRVFOption::rvfoSaveLayout, TRVFOption::rvfoLoadLayout,
                         TRVFOption::rvfoSaveBack, TRVFOption::rvfoLoadBack})
        o.Exclude(x);
    return o;
}

void TRVTableItemInfo::DefineProperties(TFiler* filer) {
    TRVFullLineItemInfo::DefineProperties(filer);
    filer->DefineBinaryProperty(
        "BackgroundImg",
        [this](TStream& s) {
            std::unique_ptr<TGraphic> graphic = CreatePictureOfStoredClass(s);
            graphic->LoadFromStream(s);
            SetBackgroundImage(graphic.get());
        },
        [this](TStream& s) {
            TGraphic* g = BackgroundImage();
            WritePictureClass(s, *g);
            g->SaveToStream(s);
        },
        BackgroundImage() && !BackgroundImage()->Empty());
}

// A cell's contents as nested RVF; its picture: its class name, then the picture body with its
// length.
void TRVTableCellData::DefineProperties(TFiler* filer) {
    TRVItemFormattedData::DefineProperties(filer);
    filer->DefineBinaryProperty(
        "Data", [this](TStream& s) { LoadCellContents(*this, s); },
        [this](TStream& s) { SaveToRvfStream(s, false); }, true);
    filer->DefineBinaryProperty(
        "BackgroundImg",
        [this](TStream& s) {
            const std::string cls = ReadPictureClass(s);
            std::unique_ptr<TGraphic> graphic = RVFLoadPictureBinary(s, cls);
            if (!graphic || s.Position() != s.Size()) throw EReadError(SReadError);
            SetBackgroundImage(graphic.get());
        },
        [this](TStream& s) {
            TGraphic* g = BackgroundImage();
            WritePictureClass(s, *g);
            RVFSavePictureBinary(s, g);
        },
        BackgroundImage() && !BackgroundImage()->Empty());
    RefuseUnknownProperty(filer);
}

void TRVTableItemInfo::SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name,
                               int paraNo, uint8_t options) {
    TRVStyle* style = ctx.RVData ? ctx.RVData->GetRVStyle() : nullptr;
    const bool pchars = ctx.RVData && ctx.RVData->TagsArePChars();
    RVFWriteLine(stream,
                 RVFItemHeader(StyleNo, 3, RVFParaNoToString(paraNo, style, ctx.UseStyleNames),
                               options & 0x0F, ctx.Binary ? 2 : 0, RVFTagToString(Tag, pchars),
                               GetRVFExtraHeader()));
    RVFWriteLine(stream, RVFEscapeLine(name));
    RVFWriteLine(stream, "1");
    // The body is the table's streamed wrapper, written as a control body; an open cell
    // editor's items stand in for its cell while it is written.
    TEditedCellContent edited(*this);
    TRVTableSW sw(nullptr);
    sw.SetTable(this);
    if (ctx.Binary)
        RVFSaveControlBinary(stream, &sw);
    else
        RVFWriteLine(stream, RVFSaveControlHex(&sw));
}

bool TRVTableItemInfo::ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo,
                                   int lineCount, std::string& name, TRVFReadMode& mode,
                                   TRVFReadState& state) {
    if (lineCount < 2) return false;
    if (lineNo == 0 && !RVFUnescapeLine(s, name)) return false;
    if (lineNo < lineCount - 1) return true;
    state = TRVFReadState::rstItemFinished;
    if (rvData) FRVData = rvData;
    try {
        // The wrapper is read as a control body into the one made here.
        auto wrapper = std::make_unique<TRVTableSW>(nullptr);
        wrapper->SetTable(this);
        const TRVTableSW& sw = *wrapper;
        TRVComponentPtr control(wrapper.release());
        if (mode == TRVFReadMode::rmBinary)
            RVFLoadControlBinary(s, control, sw.ClassName());
        else if (!RVFLoadControlHex(s, control, sw.ClassName()))
            return false;
        // Every table has its cell list; a stream without one is not a table.
        if (!sw.FCellsRead) return false;
    } catch (const Exception&) {
        return false;
    }
    FinishLoading();
    NeedsLayout = true;
    return true;
}

} // namespace epc
