// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Flat hints for the whole application: TFlatHint, a component on the main
// form that holds the colours, font and width of every hint and installs
// TFlatHintWindow as the application's hint window; TFlatHintWindow shows the
// text in a bordered box with a side panel whose arrow points at the cursor.
#include <QObject>
#include <QPointer>
#include <cstdint>

#include "flat/FlatUtilitys.h"
#include "framework/TApplication.h"
#include "framework/THintWindow.h"

namespace flat {

using framework::THintInfo;
using framework::TShowHintEvent;

class TFlatHint : public QObject {
    Q_OBJECT
public:
    // Owned by owner (the form it sits on). Unless designing, it makes flat
    // hints the application's hints and sets the hint pauses.
    explicit TFlatHint(QObject *owner, bool designing = false);
    ~TFlatHint() override;

    QString Name() const { return objectName(); }
    void SetName(const QString &name) { setObjectName(name); }
    int Tag() const { return tag_; }
    bool Designing() const { return designing_; }

    const TFont &Font() const { return font_; }
    // Takes the attributes of font.
    void SetFont(const TFont &font) { font_ = font; }

    // The four colours share one setter, indexed 0 to 3 in this order. A
    // change shows on the next hint painted.
    TColor ColorBackground() const { return colors_[0]; }
    void SetColorBackground(TColor value) { SetColors(0, value); }
    TColor ColorBorder() const { return colors_[1]; }
    void SetColorBorder(TColor value) { SetColors(1, value); }
    TColor ColorArrowBackground() const { return colors_[2]; }
    void SetColorArrowBackground(TColor value) { SetColors(2, value); }
    TColor ColorArrow() const { return colors_[3]; }
    void SetColorArrow(TColor value) { SetColors(3, value); }
    void SetColors(int index, TColor value);

    // Width of the whole hint window, 22 pixels of which are not text.
    int MaxHintWidth() const { return maxHintWidth_; }
    void SetMaxHintWidth(int value) { maxHintWidth_ = value; }

    // The application's show-hint event, passed on.
    TShowHintEvent OnShowHint;

private:
    TFont font_;
    TColor colors_[4] = {0x00FFFFFF, 0x00000000, 0x0053D2FF, 0x00000000};
    int maxHintWidth_ = 200;
    int tag_ = 0;
    bool designing_ = false;
};

// The corner of the hint box at which the cursor lies.
enum TArrowCorner : std::uint8_t { acTopRight = 0, acTopLeft = 1, acBottomRight = 2, acBottomLeft = 3 };

class TFlatHintWindow : public framework::THintWindow {
    Q_OBJECT
public:
    // The first TFlatHint (or derived) among the components of the
    // application's main form, in the order they were made; none without one.
    static TFlatHint *FindFlatHint();

    // Measures text in the hint component's font and width, and shows it
    // beside the cursor on the side facing the middle of the primary screen
    // (of the window, where the desktop keeps positions to itself).
    // Of r only Left and Top are used.
    void ActivateAtCursor(const TRect &r, const QString &text);
    // The same, pointing at point (screen pixels) near control instead of
    // at the cursor.
    void ActivateAtPoint(const TRect &r, const QString &text, QPoint point, const QWidget *control);
    // Draws panel, text area, border, arrow and text.
    void PaintHintBox(TCanvas &canvas) const;

    void ActivateHint(const TRect &rect, const QString &hint) override { ActivateAtCursor(rect, hint); }
    // Points at the middle of the control's right edge, beside its caption.
    void ActivateNotice(const TRect &rect, const QString &text, const QWidget *control) override;

    TArrowCorner ArrowCorner() const { return arrowCorner_; }
    // The tip of the arrow, in the window's pixels.
    TPoint ArrowAnchor() const { return ArrowAnchorFor(arrowCorner_, width(), height()); }
    TFlatHint *HintComponent() const { return hintComponent_; }

    // Arrow panel and text area in a w × h window for a corner.
    static TRect ArrowPanelRect(TArrowCorner corner, int w, int h);
    static TRect TextAreaRect(TArrowCorner corner, int w, int h);
    static TPoint ArrowAnchorFor(TArrowCorner corner, int w, int h);

protected:
    void CreateParams(TCreateParams &params) override;
    void Paint(TCanvas &canvas) const override { PaintHintBox(canvas); }

private:
    TArrowCorner arrowCorner_ = acTopRight;
    QPointer<TFlatHint> hintComponent_;
};

} // namespace flat
