#pragma once
// The undo records of the editing document. Each record keeps what is needed to reverse one
// change and replays it through the document's undoable operations, which record the change
// back into the opposite list.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "richtext/edit/RVUndo.h"

namespace epc {

class TRVEditRVData;

// Objects whose integer properties an undo record may set back by name.
class TRVIntPropertyHolder {
public:
    virtual ~TRVIntPropertyHolder() = default;
    virtual bool GetIntProperty(const std::string& name, int& value) const = 0;
    virtual bool SetIntProperty(const std::string& name, int value) = 0;
};

// The editing document a record replays on (records never run elsewhere).
TRVEditRVData& UndoEditData(TCustomRVData* rvData);

class TRVUndoReformateRange : public TRVUndoItemNoInfo {
public:
    TRVUndoReformateRange(int first, int last, bool flag);
    std::string ClassName() const override { return "TRVUndoReformateRange"; }
    bool Flag;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoResizeInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoResizeInfo"; }
    int32_t OldWidth = 0;
    int32_t OldHeight = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoStringInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoStringInfo"; }
    std::string Text; // bytes in the item's encoding
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoChangeTextInfo : public TRVUndoStringInfo {
public:
    std::string ClassName() const override { return "TRVUndoChangeTextInfo"; }
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
};

class TRVUndoSubStringInfo : public TRVUndoStringInfo {
public:
    std::string ClassName() const override { return "TRVUndoSubStringInfo"; }
    int32_t Offs = 0;
};

// Holds a removed item until it goes back into the document.
class TRVUndoItemInfo : public TRVUndoStringInfo {
public:
    std::string ClassName() const override { return "TRVUndoItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> Item;
};

class TRVUndoStringItemListInfo : public TRVUndoInfo {
public:
    std::string ClassName() const override { return "TRVUndoStringItemListInfo"; }
    std::vector<TRVItemEntry> List;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoItemRangeInfo : public TRVUndoStringItemListInfo {
public:
    std::string ClassName() const override { return "TRVUndoItemRangeInfo"; }
    int32_t StartItemNo = 0;
    int32_t LastAffectedItemNo = -1; // -1: StartItemNo + count - 1
    void GetAffectedItemRange(int& first, int& last) const override;
};

class TRVUndoListInfo : public TRVUndoInfo {
public:
    std::string ClassName() const override { return "TRVUndoListInfo"; }
    std::vector<int32_t> List;
    bool ChangesOnlyFlags() const override { return false; }
};

// The old paragraph style of every item of a range.
class TRVUndoParaListInfo : public TRVUndoListInfo {
public:
    std::string ClassName() const override { return "TRVUndoParaListInfo"; }
    int32_t StartItemNo = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    void GetAffectedItemRange(int& first, int& last) const override;
};

// One old paragraph style for a whole range.
class TRVUndoParaInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoParaInfo"; }
    int32_t Count = 0;
    int32_t ParaNo = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    void GetAffectedItemRange(int& first, int& last) const override;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoStyleNoInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoStyleNoInfo"; }
    int32_t OldStyleNo = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoDeleteItemInfo : public TRVUndoItemInfo {
public:
    std::string ClassName() const override { return "TRVUndoDeleteItemInfo"; }
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    int ItemsAdded() const override { return 1; }
};

// The line options an item had (joins the previous item, line break, page break): records of
// line and paragraph starts put them back exactly.
class TRVUndoLineOptionsInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoLineOptionsInfo"; }
    uint8_t OldOptions = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoNewLineInfo : public TRVUndoLineOptionsInfo {
public:
    std::string ClassName() const override { return "TRVUndoNewLineInfo"; }
    bool OldJoinsPrevious = false;
    int32_t OldParaNo = 0;
};

class TRVUndoBRInfo : public TRVUndoLineOptionsInfo {
public:
    std::string ClassName() const override { return "TRVUndoBRInfo"; }
    bool OldBR = false;
};

class TRVUndoPageBreakInfo : public TRVUndoLineOptionsInfo {
public:
    std::string ClassName() const override { return "TRVUndoPageBreakInfo"; }
    bool OldPageBreak = false;
};

class TRVUndoExtraIntProperty : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoExtraIntProperty"; }
    int32_t Prop = 0;
    int32_t OldValue = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoDeleteItemsInfo : public TRVUndoItemRangeInfo {
public:
    std::string ClassName() const override { return "TRVUndoDeleteItemsInfo"; }
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    int ItemsAdded() const override { return int(List.size()); }
};

class TRVUndoDeleteSubstringInfo : public TRVUndoSubStringInfo {
public:
    std::string ClassName() const override { return "TRVUndoDeleteSubstringInfo"; }
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
};

class TRVUndoInsertSubstringInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoInsertSubstringInfo"; }
    int32_t Offs = 0;
    int32_t Length = 0; // characters
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool ChangesOnlyFlags() const override { return false; }
};

// Characters removed by a run of Backspace; undo puts them back before Offs.
class TRVRedoTypingInfo : public TRVUndoSubStringInfo {
public:
    TRVRedoTypingInfo() { Action = rvuTyping; }
    std::string ClassName() const override { return "TRVRedoTypingInfo"; }
    bool Unicode = false;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool IsTyping() const override { return true; }
    int TypedLeft() const override { return int(Text.size()); }
};

// A run of typed characters from Offs on; undo deletes them all.
class TRVUndoTypingInfo : public TRVUndoInsertSubstringInfo {
public:
    TRVUndoTypingInfo() { Action = rvuTyping; }
    std::string ClassName() const override { return "TRVUndoTypingInfo"; }
    bool Unicode = false;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    bool IsTyping() const override { return true; }
    int TypedLeft() const override { return Length; }
};

class TRVUndoInsertItemsInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoInsertItemsInfo"; }
    int32_t Count = 0;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    void GetAffectedItemRange(int& first, int& last) const override;
    int ItemsAdded() const override { return -Count; }
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoInsertItemInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoInsertItemInfo"; }
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    int ItemsAdded() const override { return -1; }
    bool ChangesOnlyFlags() const override { return false; }
};

class TRVUndoTagInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoTagInfo"; }
    TRVTag OldTag;
    bool TagsArePChars = false;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
};

// ItemNo -1: the document-end checkpoint.
class TRVUndoAddCPInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoAddCPInfo"; }
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    void GetAffectedItemRange(int& first, int& last) const override;
};

class TRVUndoDeleteCPInfo : public TRVUndoItemNoInfo {
public:
    std::string ClassName() const override { return "TRVUndoDeleteCPInfo"; }
    std::unique_ptr<TRVCPInfo> Checkpoint;
    bool TagsArePChars = false;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
    void GetAffectedItemRange(int& first, int& last) const override;
};

// Sets an integer property of an object of an item back by name. Target null: the item
// itself. Subclasses that address an object inside the item (a table cell) find it anew.
class TRVUndoModifyItemIntProperty : public TRVUndoModifyItemProps {
public:
    std::string ClassName() const override { return "TRVUndoModifyItemIntProperty"; }
    TRVIntPropertyHolder* Target = nullptr;
    std::string PropertyName;
    int32_t OldValue = 0;
    virtual TRVIntPropertyHolder* GetTarget(TRVEditRVData& data);
    // A new record of the same class addressing the same object (the reverse change).
    virtual std::unique_ptr<TRVUndoModifyItemIntProperty> CreateReverse() const;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
};

class TRVUndoModifyItemIntProperties : public TRVUndoModifyItemProps {
public:
    std::string ClassName() const override { return "TRVUndoModifyItemIntProperties"; }
    TRVIntPropertyHolder* Target = nullptr;
    std::vector<std::pair<std::string, int32_t>> OldValues; // name = old value
    virtual TRVIntPropertyHolder* GetTarget(TRVEditRVData& data);
    virtual std::unique_ptr<TRVUndoModifyItemIntProperties> CreateReverse() const;
    void Undo(TCustomRVData* rvData, TRVUndoList* reverse) override;
};

} // namespace epc
