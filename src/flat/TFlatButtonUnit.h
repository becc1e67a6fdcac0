// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A push button that paints itself flat: a filled rectangle in a one-pixel
// frame with an optional glyph and a one-line caption. It lights up while the
// pointer is over it or it has the focus, sinks while held, can latch as one
// member of a group, and can derive its colours from its parent's colour.
#include <QTimer>
#include <cstdint>
#include <memory>

#include "flat/FlatUtilitys.h"
#include "framework/Controls.h"
#include "framework/TBitmap.h"

namespace flat {

class HoverWatch;

enum TFlatButtonState : std::uint8_t { fbsUp = 0, fbsDisabled = 1, fbsPressed = 2, fbsLatched = 3 };

class TFlatButton : public framework::TCustomControl {
    Q_OBJECT
public:
    explicit TFlatButton(QWidget *parent = nullptr);
    ~TFlatButton() override;

    // Properties in the order a stored description sets them.
    TTransparentMode TransparentMode() const { return transparentMode_; }
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    // Color, ParentColor: the base's.
    TColor ColorFocused() const { return colorFocused_; }
    void SetColorFocused(TColor value);
    TColor ColorDown() const { return colorDown_; }
    void SetColorDown(TColor value);
    TColor ColorBorder() const { return colorBorder_; }
    void SetColorBorder(TColor value);
    TColor ColorHighLight() const { return colorHighLight_; }
    void SetColorHighLight(TColor value);
    TColor ColorShadow() const { return colorShadow_; }
    void SetColorShadow(TColor value);
    TAdvColors AdvColorFocused() const { return advColorFocused_; }
    TAdvColors AdvColorDown() const { return advColorDown_; }
    TAdvColors AdvColorBorder() const { return advColorBorder_; }
    void SetAdvColorBorder(TAdvColors value);
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool value);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    bool Down() const { return down_; }
    void SetDown(bool value);
    // Caption, Enabled, Font: the base's.
    const TBitmap &Glyph() const { return glyph_; }
    void SetGlyph(const TBitmap &value);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return margin_; }
    void SetMargin(int value);
    TNumGlyphs NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(TNumGlyphs value);
    int Spacing() const { return spacing_; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value) { modalResult_ = value; }

    // Writes ModalResult to the parent form, then fires OnClick.
    void Click() override;

    framework::TNotifyEvent OnDblClick;
    framework::TNotifyEvent OnMouseEnter;
    framework::TNotifyEvent OnMouseLeave;

    TFlatButtonState State() const { return state_; }
    bool Hot() const { return hot_; }
    bool Tracking() const { return tracking_; }
    framework::TPoint GlyphOrigin() const { return glyphOrigin_; }
    framework::TRect CaptionRect() const { return captionRect_; }

    // The hover timer all buttons share, the button it watches, and the
    // number of live buttons.
    static QTimer *HoverTimer();
    static TFlatButton *HotButton();
    static int ButtonCount();

    // Derives ColorFocused, ColorDown and ColorBorder from Color when
    // UseAdvColors is set.
    void ApplyAdvColors();

    bool ControlMessage(int message, qintptr wParam, QObject *lParam) override;
    bool DialogChar(QChar ch) override;

    // The timer's tick for HotButton: cools down when the pointer has left.
    void HoverTimerTick();

protected:
    // The layout of glyph and caption, taken with the state from before this
    // paint, then the state itself: disabled, or back from disabled.
    void SyncState() override;
    void Paint(framework::TCanvas &canvas) const override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    void MouseDown(framework::TMouseButton button, framework::TShiftState shift, int x, int y) override;
    void MouseMove(framework::TShiftState shift, int x, int y) override;
    void MouseUp(framework::TMouseButton button, framework::TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void EnabledChanged() override;
    void ParentColorChanged() override;
    void SysColorChange() override;

public:
    void Loaded() override;

private:
    void EnterHot();
    void LeaveHot();
    void StopHoverTimer();
    void TakeHot(bool followPointer);
    void UpdateHotTracking();
    void NotifyGroup();
    bool Inside(int x, int y) const;
    bool UnderCursor() const;
    void DrawGlyph(framework::TCanvas &canvas) const;

    std::shared_ptr<HoverWatch> hover_;

    TTransparentMode transparentMode_ = tmNone;
    bool default_ = false;
    bool allowAllUp_ = false;
    TColor colorFocused_ = 0x00E1EAEB;
    TColor colorDown_ = 0x00C5D6D9;
    TColor colorBorder_ = 0x008396A0;
    TColor colorHighLight_ = 0x00FFFFFF;
    TColor colorShadow_ = 0x00000000;
    TAdvColors advColorFocused_ = 10;
    TAdvColors advColorDown_ = 10;
    TAdvColors advColorBorder_ = 50;
    bool useAdvColors_ = false;
    int groupIndex_ = 0;
    bool down_ = false;
    TBitmap glyph_;
    TButtonLayout layout_ = blGlyphTop;
    int margin_ = -1;
    TNumGlyphs numGlyphs_ = 1;
    int spacing_ = 4;
    int modalResult_ = 0;

    TFlatButtonState state_ = fbsUp;
    bool hot_ = false;
    bool tracking_ = false;
    framework::TPoint glyphOrigin_;
    framework::TRect captionRect_;
};

} // namespace flat
