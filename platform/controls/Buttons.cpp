#include "platform/controls/Buttons.h"

#include <algorithm>

#include "platform/controls/ImageList.h"

namespace epc {

void CalcButtonLayout(TCanvas* canvas, TSize glyphSize, const TRect& client, TPoint offset,
                      const std::string& caption, TButtonLayout layout, int margin, int spacing,
                      TPoint& glyphPos, TRect& textBounds, uint32_t biDiFlags) {
    if (biDiFlags & DT_RTLREADING) {
        if (layout == blGlyphLeft)
            layout = blGlyphRight;
        else if (layout == blGlyphRight)
            layout = blGlyphLeft;
    }
    TPoint clientSize(client.Width(), client.Height());
    TPoint textSize;
    if (!caption.empty() && canvas) {
        TRect r(0, 0, clientSize.X, 0);
        DrawTextA(canvas->Handle(), caption.c_str(), -1, &r, DT_CALCRECT | biDiFlags);
        textBounds = r;
        textSize = TPoint(textBounds.Width(), textBounds.Height());
    } else {
        textBounds = TRect(0, 0, 0, 0);
    }
    // Glyph and text line up along the layout's axis and are centred across it.
    bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    int room = horizontal ? clientSize.X : clientSize.Y;
    int glyphLength = horizontal ? glyphSize.cx : glyphSize.cy;
    int textLength = horizontal ? textSize.X : textSize.Y;
    TPoint glyphAt, textPos;
    int& glyphAlong = horizontal ? glyphAt.X : glyphAt.Y;
    int& textAlong = horizontal ? textPos.X : textPos.Y;
    int& glyphAcross = horizontal ? glyphAt.Y : glyphAt.X;
    int& textAcross = horizontal ? textPos.Y : textPos.X;
    int crossRoom = horizontal ? clientSize.Y : clientSize.X;
    glyphAcross = (crossRoom - (horizontal ? glyphSize.cy : glyphSize.cx) + 1) / 2;
    textAcross = (crossRoom - (horizontal ? textSize.Y : textSize.X) + 1) / 2;
    // Spacing only separates two things.
    if (textSize.X == 0 || glyphSize.cx == 0) spacing = 0;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (room - (glyphLength + textLength)) / 3;
            spacing = margin;
        } else {
            margin = (room - (glyphLength + spacing + textLength) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (room - (margin + glyphLength) - textLength) / 2;
    }
    // The glyph keeps the margin from its own side; the text follows it after the spacing.
    if (layout == blGlyphLeft || layout == blGlyphTop) {
        glyphAlong = margin;
        textAlong = glyphAlong + glyphLength + spacing;
    } else {
        glyphAlong = room - margin - glyphLength;
        textAlong = glyphAlong - spacing - textLength;
    }
    glyphPos = TPoint(glyphAt.X + client.Left + offset.X, glyphAt.Y + client.Top + offset.Y);
    int dx = textPos.X + client.Left + offset.X, dy = textPos.Y + client.Top + offset.Y;
    textBounds = TRect(textBounds.Left + dx, textBounds.Top + dy, textBounds.Right + dx,
                       textBounds.Bottom + dy);
}

void DrawButtonText(TCanvas* canvas, const std::string& caption, const TRect& textBounds,
                    TButtonState state, uint32_t biDiFlags) {
    if (!canvas || caption.empty()) return;
    canvas->Brush()->SetStyle(bsClear);
    HDC dc = canvas->Handle();
    uint32_t flags = DT_CENTER | DT_VCENTER | biDiFlags;
    TRect r = textBounds;
    if (state == bsDisabled) {
        TRect shifted(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
        canvas->Font()->SetColor(clBtnHighlight);
        dc = canvas->Handle();
        DrawTextA(dc, caption.c_str(), -1, &shifted, flags);
        canvas->Font()->SetColor(clBtnShadow);
        dc = canvas->Handle();
        DrawTextA(dc, caption.c_str(), -1, &r, flags);
    } else {
        DrawTextA(dc, caption.c_str(), -1, &r, flags);
    }
}

TSpeedButton::TSpeedButton(TComponent* owner)
    : TGraphicControl(owner), FGlyph(std::make_unique<TBitmap>()) {
    SetBounds(0, 0, 23, 22);
    FControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks};
    FParentColor = true;
    FGlyph->OnChange = [this](TObject* s) { GlyphChanged(s); };
}

TSpeedButton::~TSpeedButton() {
    if (FAction) FAction->UnRegisterChanges(this);
}

void TSpeedButton::SetAllowAllUp(bool value) {
    if (FAllowAllUp == value) return;
    FAllowAllUp = value;
    UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int value) {
    if (FGroupIndex == value) return;
    FGroupIndex = value;
    UpdateExclusive();
}

void TSpeedButton::SetDown(bool value) {
    if (FGroupIndex == 0) value = false;
    if (value == FDown) return;
    if (FDown && !FAllowAllUp) return;
    FDown = value;
    if (value) {
        if (FState == bsUp) Invalidate();
        FState = bsExclusive;
    } else {
        FState = bsUp;
        Repaint();
    }
    if (value) UpdateExclusive();
}

void TSpeedButton::SetFlat(bool value) {
    if (FFlat == value) return;
    FFlat = value;
    Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap* value) {
    if (value)
        FGlyph->Assign(value);
    else
        FGlyph->SetSize(0, 0);
    GlyphChanged(nullptr);
}

void TSpeedButton::SetNumGlyphs(int value) {
    value = std::clamp(value, 1, 4);
    if (FNumGlyphs == value) return;
    FNumGlyphs = value;
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
    if (FLayout == value) return;
    FLayout = value;
    Invalidate();
}

void TSpeedButton::SetMargin(int value) {
    if (FMargin == value || value < -1) return;
    FMargin = value;
    Invalidate();
}

void TSpeedButton::SetSpacing(int value) {
    if (FSpacing == value) return;
    FSpacing = value;
    Invalidate();
}

void TSpeedButton::SetTransparent(bool value) {
    if (FTransparent == value) return;
    FTransparent = value;
    Invalidate();
}

void TSpeedButton::SetEnabled(bool v) {
    TGraphicControl::SetEnabled(v);
    if (!v) {
        FMouseInControl = false;
        FDragging = false;
        FState = bsDisabled;
    } else if (FState == bsDisabled) {
        FState = FDown ? bsExclusive : bsUp;
    }
    Invalidate();
}

void TSpeedButton::GlyphChanged(TObject*) {
    // A glyph wider than tall by a whole number holds that many cells.
    if (FGlyph->Height() > 0 && FGlyph->Width() % FGlyph->Height() == 0) {
        int n = FGlyph->Width() / FGlyph->Height();
        if (n > 4) n = 1;
        FNumGlyphs = std::max(n, 1);
    }
    Invalidate();
}

uint32_t TSpeedButton::DrawTextBiDiModeFlags() const {
    return UseRightToLeftReading() ? uint32_t(DT_RTLREADING) : 0u;
}

TRect TSpeedButton::PaintFrame(TPoint& offset) {
    TCanvas* c = Canvas();
    TRect r(0, 0, Width(), Height());
    if (!Enabled())
        FState = bsDisabled;
    else if (FState == bsDisabled)
        FState = FDown ? bsExclusive : bsUp;
    c->Font()->Assign(Font());
    bool pressed = FState == bsDown || FState == bsExclusive;
    if (!FFlat) {
        TRect pr = r;
        DrawFrameControl(c->Handle(), &pr, DFC_BUTTON,
                         DFCS_BUTTONPUSH | (pressed ? UINT(DFCS_PUSHED) : 0u));
        r = TRect(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2);
    } else {
        if (!FTransparent || FState == bsExclusive) {
            c->Brush()->SetColor(FState == bsExclusive ? clBtnHighlight : Color());
            c->Brush()->SetStyle(bsSolid);
            c->FillRect(r);
        }
        if (pressed || (FMouseInControl && FState != bsDisabled)) {
            TRect pr = r;
            DrawEdge(c->Handle(), &pr, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        }
        r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    offset = pressed ? TPoint(1, 1) : TPoint(0, 0);
    return r;
}

void TSpeedButton::DrawGlyph(TPoint pos) {
    if (FGlyph->Empty()) return;
    int cell = FGlyph->Width() / FNumGlyphs;
    int index = 0;
    if (FState == bsDisabled && FNumGlyphs > 1)
        index = 1;
    else if (FState == bsDown && FNumGlyphs > 2)
        index = 2;
    else if (FState == bsExclusive && FNumGlyphs > 3)
        index = 3;
    TColor transparent = TColor(ColorToRGB(FGlyph->TransparentColor()) & 0xFFFFFF);
    uint32_t* bits = FGlyph->SurfaceBits();
    int w = FGlyph->Width(), h = FGlyph->Height();
    TCanvas* c = Canvas();
    // The glyph's transparent colour lets the face through; a disabled glyph of one cell is
    // drawn as a shadow of its dark pixels.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < cell; ++x) {
            uint32_t p = bits[size_t(y) * w + size_t(index * cell + x)];
            TColor rgb = TColor(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
            if (rgb == transparent) continue;
            if (FState == bsDisabled && FNumGlyphs == 1) {
                int lum = int(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
                if (lum > 192) continue;
                rgb = clBtnShadow;
            }
            c->SetPixels(pos.X + x, pos.Y + y, rgb);
        }
}

void TSpeedButton::Paint() {
    TPoint offset;
    TRect client = PaintFrame(offset);
    TPoint glyphPos;
    TRect textBounds;
    TSize glyphSize =
        FGlyph->Empty() ? TSize(0, 0) : TSize(FGlyph->Width() / FNumGlyphs, FGlyph->Height());
    CalcButtonLayout(Canvas(), glyphSize, client, offset, Caption(), FLayout, FMargin, FSpacing,
                     glyphPos, textBounds, DrawTextBiDiModeFlags());
    DrawGlyph(glyphPos);
    DrawButtonText(Canvas(), Caption(), textBounds, FState, DrawTextBiDiModeFlags());
}

void TSpeedButton::UpdateExclusive() {
    if (FGroupIndex == 0 || !FParent) return;
    for (int i = 0; i < FParent->ControlCount(); ++i) {
        auto* other = dynamic_cast<TSpeedButton*>(FParent->Controls(i));
        if (other && other != this) other->ButtonPressed(this);
    }
}

void TSpeedButton::ButtonPressed(TSpeedButton* sender) {
    if (sender->FGroupIndex != FGroupIndex) return;
    if (sender->FDown && FDown) {
        FDown = false;
        FState = bsUp;
        Invalidate();
    }
    FAllowAllUp = sender->FAllowAllUp;
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled()) return;
    if (!FDown) {
        FState = bsDown;
        Invalidate();
    }
    FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!FDragging) return;
    bool inside = x >= 0 && x < Width() && y >= 0 && y < Height();
    TButtonState newState = FDown ? bsExclusive : bsUp;
    if (inside) newState = FDown ? bsExclusive : bsDown;
    if (newState != FState) {
        FState = newState;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!FDragging) return;
    FDragging = false;
    bool inside = x >= 0 && x < Width() && y >= 0 && y < Height();
    if (FGroupIndex == 0) {
        FState = bsUp;
        FMouseInControl = FMouseInControl && inside;
        Invalidate();
    } else if (inside) {
        SetDown(!FDown);
        if (FDown) Repaint();
    } else {
        if (FDown) FState = bsExclusive;
        Repaint();
    }
    if (inside) Click();
}

void TSpeedButton::Click() {
    // The action's execution replaces the click event, as a linked control's does.
    if (FAction && FAction->Execute()) return;
    TGraphicControl::Click();
}

void TSpeedButton::SetAction(TBasicAction* value) {
    if (FAction == value) return;
    if (FAction) {
        FAction->UnRegisterChanges(this);
        FAction->RemoveFreeNotification(this);
    }
    FAction = value;
    if (FAction) {
        FAction->FreeNotification(this);
        FAction->RegisterChanges(this, [this](TBasicAction* a) { ActionChange(a, false); });
        ActionChange(FAction, true);
    }
}

void TSpeedButton::ActionChange(TBasicAction* sender, bool checkDefaults) {
    auto* action = dynamic_cast<TCustomAction*>(sender);
    if (!action) return;
    if (!checkDefaults || Caption().empty()) SetCaption(action->Caption());
    if (!checkDefaults || Enabled()) SetEnabled(action->Enabled());
    if (!checkDefaults || Hint().empty()) SetHint(action->Hint());
    Invalidate();
}

void TSpeedButton::Notification(TComponent* component, TOperation operation) {
    TGraphicControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FAction) FAction = nullptr;
}

void TSpeedButton::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case CM_MOUSEENTER:
        if (Enabled() && !FMouseInControl) {
            FMouseInControl = true;
            if (FFlat) Invalidate();
        }
        break;
    case CM_MOUSELEAVE:
        if (FMouseInControl) {
            FMouseInControl = false;
            if (FFlat && Enabled()) Invalidate();
        }
        break;
    default:
        break;
    }
    TGraphicControl::Dispatch(message);
}

} // namespace epc
