// The editor's insertion and style commands: each asks the change check, opens one undo step
// (deleting the selection inside it), runs the document's operation and reports the change.

#include "richtext/edit/RVEdit.h"

#include "platform/controls/Clipbrd.h"
#include "platform/core/Exceptions.h"
#include "platform/core/ScopeGuard.h"
#include "platform/graphics/Bitmap.h"
#include "richtext/edit/RVEditTransaction.h"

namespace epc {

namespace {

// Null when the file cannot be opened.
std::unique_ptr<TFileStream> OpenForReading(const std::string& fileName) {
    try {
        return std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyNone);
    } catch (const Exception&) {
        return nullptr;
    }
}

} // namespace

bool TCustomRichViewEdit::BeginInsert(const std::function<bool(TRVEditRVData&)>& insert) {
    if (!Style() || !BeforeChange(false)) return false;
    TRVEditRVData* data = EditData();
    const int groupsBefore = data->UndoList->Count();
    bool ok = false;
    // A refused or failed insertion takes back what the step did before it (the deleted
    // selection), once the step has ended.
    auto takeBack = epc::Finally([&] {
        if (!ok && data->UndoList->Count() > groupsBefore) data->DropLastUndoGroup();
    });
    TRVEditTransaction step(*data, TRVEditRange(), rvutInsert);
    // The deletion and the insertion join the step's group.
    step.HoldGroup();
    if (data->SelectionExists(false, false) && !data->DeleteSelection()) return false;
    ok = insert(*data);
    return ok;
}

bool TCustomRichViewEdit::InsertItem(std::unique_ptr<TCustomRVItemInfo> item,
                                     const std::string& name) {
    if (FInplaceEditor) return FInplaceEditor->InsertItem(std::move(item), name);
    return BeginInsert(
        [&](TRVEditRVData& data) { return data.InsertItem(std::move(item), name, false); });
}

bool TCustomRichViewEdit::InsertPicture(const std::string& name, std::unique_ptr<TGraphic> graphic,
                                        TRVVAlign vAlign) {
    if (FInplaceEditor) return FInplaceEditor->InsertPicture(name, std::move(graphic), vAlign);
    if (!graphic) return false;
    return InsertItem(TRVGraphicItemInfo::CreateWithGraphic(EditData(), std::move(graphic), vAlign),
                      name);
}

void TCustomRichViewEdit::InsertText(const std::string& text) {
    if (FInplaceEditor) return FInplaceEditor->InsertText(text);
    BeginInsert([&](TRVEditRVData& data) { return data.InsertTextA(text, false); });
}

void TCustomRichViewEdit::InsertTextW(const std::u16string& text) {
    if (FInplaceEditor) return FInplaceEditor->InsertTextW(text);
    BeginInsert([&](TRVEditRVData& data) { return data.InsertTextW(WideToLEBytes(text), false); });
}

bool TCustomRichViewEdit::InsertRVFFromStream(TStream& stream) {
    if (FInplaceEditor) return FInplaceEditor->InsertRVFFromStream(stream);
    bool read = false;
    // A stream that failed halfway keeps the step with what was read before the failure.
    BeginInsert([&](TRVEditRVData& data) {
        read = data.InsertRVFFromStream(stream);
        return read || data.InsertedPart;
    });
    return read;
}

bool TCustomRichViewEdit::InsertRTFFromStream(TStream& stream, const std::string& basePath) {
    if (FInplaceEditor) return FInplaceEditor->InsertRTFFromStream(stream, basePath);
    TRVRTFReaderProperties* properties = GetRTFReadProperties();
    if (!properties) return false;
    // The path serves this one reading.
    const std::string oldBasePath = properties->BasePath;
    properties->BasePath = basePath;
    auto restore = Finally([&] { properties->BasePath = oldBasePath; });
    return BeginInsert([&](TRVEditRVData& data) { return data.InsertRTFFromStream(stream); });
}

bool TCustomRichViewEdit::InsertRVFFromFile(const std::string& fileName) {
    std::unique_ptr<TFileStream> stream = OpenForReading(fileName);
    return stream && InsertRVFFromStream(*stream);
}

bool TCustomRichViewEdit::InsertRTFFromFile(const std::string& fileName) {
    std::unique_ptr<TFileStream> stream = OpenForReading(fileName);
    return stream && InsertRTFFromStream(*stream, std::string());
}

void TCustomRichViewEdit::PastePicture(TRVPasteFormat format) {
    if (format == TRVPasteFormat::Metafile) {
        std::unique_ptr<TMetafile> metafile =
            ReadMetafileClipboardBlock(Clipboard()->GetBuffer(CF_METAFILEPICT));
        if (!metafile) return;
        const int width = metafile->Width(), height = metafile->Height();
        auto item = TRVGraphicItemInfo::CreateWithGraphic(EditData(), std::move(metafile),
                                                          TRVVAlign::rvvaBaseline);
        // The picture is shown at the size the metafile stores.
        item->SetExtraIntProperty(kImageWidthProp, width);
        item->SetExtraIntProperty(kImageHeightProp, height);
        InsertItem(std::move(item), "");
        return;
    }
    if (format != TRVPasteFormat::Bitmap) return;
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->Assign(Clipboard());
    if (bitmap->Empty()) return;
    InsertPicture("", std::move(bitmap), TRVVAlign::rvvaBaseline);
}

// ---------------------------------------------------------------------------------------------
// Styles.

void TCustomRichViewEdit::ApplyParaStyleToSelection(int paraNo) {
    if (FInplaceEditor) return FInplaceEditor->ApplyParaStyleToSelection(paraNo);
    if (!Style() || !BeforeChange(false)) return;
    EditData()->ApplyParaStyleConversion(false, paraNo);
}

void TCustomRichViewEdit::ConvertSelectionTextStyles(int userData) {
    if (FInplaceEditor) return FInplaceEditor->ConvertSelectionTextStyles(userData);
    if (!OnStyleConversion || !Style() || !BeforeChange(false)) return;
    EditData()->ApplyTextStyleConversion(userData);
}

void TCustomRichViewEdit::ConvertSelectionParaStyles(int userData) {
    if (FInplaceEditor) return FInplaceEditor->ConvertSelectionParaStyles(userData);
    if (!OnParaStyleConversion || !Style() || !BeforeChange(false)) return;
    EditData()->ApplyParaStyleConversion(true, userData);
}

} // namespace epc
