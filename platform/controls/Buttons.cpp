#include "platform/controls/Buttons.h"

#include <algorithm>

#include "platform/controls/ImageList.h"

namespace epc {

void CalcButtonLayout(TCanvas* Canvas, TSize GlyphSize, const TRect& Client, TPoint Offset,
                      const std::string& Caption, TButtonLayout Layout, int Margin, int Spacing,
                      TPoint& GlyphPos, TRect& TextBounds, uint32_t BiDiFlags) {
    if (BiDiFlags & DT_RTLREADING) {
        if (Layout == blGlyphLeft)
            Layout = blGlyphRight;
        else if (Layout == blGlyphRight)
            Layout = blGlyphLeft;
    }
    TPoint clientSize(Client.Width(), Client.Height());
    TPoint textSize;
    if (!Caption.empty() && Canvas) {
        TRect r(0, 0, clientSize.X, 0);
        DrawTextA(Canvas->Handle(), Caption.c_str(), -1, &r, DT_CALCRECT | BiDiFlags);
        TextBounds = r;
        textSize = TPoint(TextBounds.Width(), TextBounds.Height());
    } else {
        TextBounds = TRect(0, 0, 0, 0);
    }
    bool horizontal = Layout == blGlyphLeft || Layout == blGlyphRight;
    TPoint glyphPos, textPos;
    if (horizontal) {
        glyphPos.Y = (clientSize.Y - GlyphSize.cy + 1) / 2;
        textPos.Y = (clientSize.Y - textSize.Y + 1) / 2;
    } else {
        glyphPos.X = (clientSize.X - GlyphSize.cx + 1) / 2;
        textPos.X = (clientSize.X - textSize.X + 1) / 2;
    }
    // Spacing only separates two things.
    if (textSize.X == 0 || GlyphSize.cx == 0) Spacing = 0;
    if (Margin == -1) {
        if (Spacing == -1) {
            int total = horizontal ? GlyphSize.cx + textSize.X : GlyphSize.cy + textSize.Y;
            Margin = ((horizontal ? clientSize.X : clientSize.Y) - total) / 3;
            Spacing = Margin;
        } else {
            int total = horizontal ? GlyphSize.cx + Spacing + textSize.X
                                   : GlyphSize.cy + Spacing + textSize.Y;
            Margin = ((horizontal ? clientSize.X : clientSize.Y) - total + 1) / 2;
        }
    } else if (Spacing == -1) {
        int rest = horizontal ? clientSize.X - (Margin + GlyphSize.cx)
                              : clientSize.Y - (Margin + GlyphSize.cy);
        Spacing = (rest - (horizontal ? textSize.X : textSize.Y)) / 2;
    }
    switch (Layout) {
    case blGlyphLeft:
        glyphPos.X = Margin;
        textPos.X = glyphPos.X + GlyphSize.cx + Spacing;
        break;
    case blGlyphRight:
        glyphPos.X = clientSize.X - Margin - GlyphSize.cx;
        textPos.X = glyphPos.X - Spacing - textSize.X;
        break;
    case blGlyphTop:
        glyphPos.Y = Margin;
        textPos.Y = glyphPos.Y + GlyphSize.cy + Spacing;
        break;
    case blGlyphBottom:
        glyphPos.Y = clientSize.Y - Margin - GlyphSize.cy;
        textPos.Y = glyphPos.Y - Spacing - textSize.Y;
        break;
    }
    GlyphPos = TPoint(glyphPos.X + Client.Left + Offset.X, glyphPos.Y + Client.Top + Offset.Y);
    int dx = textPos.X + Client.Left + Offset.X, dy = textPos.Y + Client.Top + Offset.Y;
    TextBounds = TRect(TextBounds.Left + dx, TextBounds.Top + dy, TextBounds.Right + dx,
                       TextBounds.Bottom + dy);
}

void DrawButtonText(TCanvas* Canvas, const std::string& Caption, const TRect& TextBounds,
                    TButtonState State, uint32_t BiDiFlags) {
    if (!Canvas || Caption.empty()) return;
    Canvas->Brush()->SetStyle(bsClear);
    HDC dc = Canvas->Handle();
    uint32_t flags = DT_CENTER | DT_VCENTER | BiDiFlags;
    TRect r = TextBounds;
    if (State == bsDisabled) {
        TRect shifted(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
        Canvas->Font()->SetColor(clBtnHighlight);
        dc = Canvas->Handle();
        DrawTextA(dc, Caption.c_str(), -1, &shifted, flags);
        Canvas->Font()->SetColor(clBtnShadow);
        dc = Canvas->Handle();
        DrawTextA(dc, Caption.c_str(), -1, &r, flags);
    } else {
        DrawTextA(dc, Caption.c_str(), -1, &r, flags);
    }
}

TSpeedButton::TSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()) {
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

TRect TSpeedButton::PaintFrame(TPoint& Offset) {
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
    Offset = pressed ? TPoint(1, 1) : TPoint(0, 0);
    return r;
}

void TSpeedButton::DrawGlyph(TPoint Pos) {
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
            c->SetPixels(Pos.X + x, Pos.Y + y, rgb);
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

void TSpeedButton::ButtonPressed(TSpeedButton* Sender) {
    if (Sender->FGroupIndex != FGroupIndex) return;
    if (Sender->FDown && FDown) {
        FDown = false;
        FState = bsUp;
        Invalidate();
    }
    FAllowAllUp = Sender->FAllowAllUp;
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled()) return;
    if (!FDown) {
        FState = bsDown;
        Invalidate();
    }
    FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging) return;
    bool inside = X >= 0 && X < Width() && Y >= 0 && Y < Height();
    TButtonState newState = FDown ? bsExclusive : bsUp;
    if (inside) newState = FDown ? bsExclusive : bsDown;
    if (newState != FState) {
        FState = newState;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging) return;
    FDragging = false;
    bool inside = X >= 0 && X < Width() && Y >= 0 && Y < Height();
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

void TSpeedButton::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
    auto* action = dynamic_cast<TCustomAction*>(Sender);
    if (!action) return;
    if (!CheckDefaults || Caption().empty()) SetCaption(action->Caption());
    if (!CheckDefaults || Enabled()) SetEnabled(action->Enabled());
    if (!CheckDefaults || Hint().empty()) SetHint(action->Hint());
    Invalidate();
}

void TSpeedButton::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FAction) FAction = nullptr;
}

void TSpeedButton::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
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
    TGraphicControl::Dispatch(Message);
}

} // namespace epc
