// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control base every window element of the program stands on: bounds
// and alignment, colour and font that follow the parent, caption, hint,
// tab order, loading, and the notifications the custom controls react to.
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "framework/ErrorBox.h"
#include "framework/TCanvas.h"
#include "framework/TColor.h"
#include "framework/TFont.h"
#include "framework/TRect.h"

class QMenu;
class QMouseEvent;
class QPainter;

namespace framework {

class TForm;
class TMainMenu;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TNotifyEvent = std::function<void(QObject *sender)>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and mouse buttons held during a mouse event.
enum TShiftStateFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;

using TMouseEvent = std::function<void(QObject *sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject *sender, TShiftState shift, int x, int y)>;

// Control messages passed through TControl::ControlMessage and Broadcast.
constexpr int CM_FOCUSCHANGED = 0xB007;  // wParam 0, lParam = the form's active control
constexpr int CM_BUTTONPRESSED = 0xB018; // wParam = group index, lParam = the sending button

// The accelerator of a caption is the character after a single "&" ("&&"
// shows one "&"); true when ch is that character, regardless of case.
bool IsAccel(QChar ch, const QString &caption);

// The topmost control of the application under a screen point, disabled
// controls included; none when no window of the application is there.
QWidget *FindControlAtPos(const QPoint &screenPos);

class TControl : public QWidget {
    Q_OBJECT
public:
    explicit TControl(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~TControl() override;

    void SetBounds(int left, int top, int width, int height);
    int Left() const { return x(); }
    int Top() const { return y(); }
    void SetLeft(int left) { move(left, y()); }
    void SetTop(int top) { move(x(), top); }
    TRect ClientRect() const { return Rect(0, 0, width(), height()); }

    // The component responsible for this one; unless set, the form it sits on.
    QObject *Owner() const;
    void SetOwner(QObject *owner) { owner_ = owner; }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);

    const TFont &Font() const { return font_; }
    void SetFont(const TFont &font);
    // The Qt font that draws Font() on this control's screen (see
    // TFont::ToQFont), for the Qt widgets inside a control.
    QFont QtFont() const { return font_.ToQFont(devicePixelRatioF()); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);

    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption);

    QString Hint() const { return hint_; }
    void SetHint(const QString &hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value);

    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value) { setEnabled(value); }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool value) { setVisible(value); }

    // Position among the parent's children when moving the focus with Tab;
    // a new control comes last. An order out of range (-1 for example) moves
    // the control to the end.
    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);

    void SetFocus() { setFocus(Qt::OtherFocusReason); }

    TPopupMenu *PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu *menu);

    // Loading from the stored description: setters run while Loading() is
    // true, then Loaded() tells the control that every value is in place.
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }
    virtual void Loaded();

    // The form this control sits on, or none.
    TForm *GetParentForm() const;
    // The control's parent when it is one of ours.
    TControl *ParentControl() const;
    QList<TControl *> ChildControls() const;

    // Passes a control message to each child in turn until one reports it handled.
    bool Broadcast(int message, qintptr wParam, QObject *lParam);
    virtual bool ControlMessage(int message, qintptr wParam, QObject *lParam);
    // An Alt+letter accelerator; true when this control took it.
    virtual bool DialogChar(QChar ch);

    // The system colour table changed.
    void SysColorsChanged();

    // Paints at once instead of at the next turn of the event loop.
    void Repaint() { repaint(); }

    // Fires OnClick.
    virtual void Click();

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

protected:
    // Notifications; the base implementations keep parent-following values
    // up to date and repaint.
    virtual void ColorChanged();
    virtual void ParentColorChanged();
    virtual void FontChanged();
    virtual void ParentFontChanged();
    virtual void EnabledChanged();
    virtual void TextChanged();
    virtual void SysColorChange();
    // The control now shows on a screen with another device pixel ratio;
    // the base gives the widget QtFont() and repaints.
    virtual void DevicePixelRatioChanged();
    virtual void MouseEnter();
    virtual void MouseLeave();
    // Mouse notifications in client pixels; the base fires OnMouseDown,
    // OnMouseMove and OnMouseUp. A double click arrives as a second
    // MouseDown with ssDouble.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

    static TShiftState ShiftStateOf(const QMouseEvent *event);

    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

    // Lays out the children that have an alignment, inside ClientAlignRect().
    void AlignControls();
    virtual TRect ClientAlignRect() const { return ClientRect(); }
    // Fires an event through the application's error guard.
    void Fire(const TNotifyEvent &event);
    // Runs any handler through the application's error guard.
    template <class F>
    void Guarded(F &&f);

private:
    // DevicePixelRatioChanged when the ratio differs from the font's.
    void FollowDevicePixelRatio();
    // Once per application: a change of any screen's density makes every
    // control follow its ratio.
    static void WatchScreenScales();
    // ShowHint from the parent or set: passed on to the children that follow it.
    void ApplyShowHint(bool value);
    void ApplyTabOrder();
    void JoinTabList();
    void LeaveTabList();
    QList<TControl *> TabList();

    TAlign align_ = alNone;
    TColor color_ = clBtnFace;
    bool parentColor_ = false;
    TFont font_;
    bool parentFont_ = true;
    QString caption_;
    QString hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    bool tabStop_ = false;
    QPointer<QObject> owner_;
    QPointer<TControl> tabParent_;      // whose tab list holds this control
    QList<QPointer<TControl>> tabList_; // children in tab order
    bool loading_ = false;
    TPopupMenu *popupMenu_ = nullptr;
    qreal fontRatio_ = 1; // the device pixel ratio the widget's font was made for
};

// The base of every control that paints itself; it owns the paint cycle.
// The control's canvas lives as long as the control. Each paint brings the
// state a picture needs up to date (SyncState), draws the whole picture from
// the state (Paint, which changes nothing) and shows only the part asked for.
// A new control derives from it, overrides Paint and, only if it has state
// that must follow its size or layout before drawing, SyncState; its setters
// store and repaint (see AssignAndRepaint).
class TCustomControl : public TControl {
    Q_OBJECT
public:
    explicit TCustomControl(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

    // The drawing surface; its pen, brush and font stay from paint to paint.
    TCanvas &Canvas() { return canvas_; }

    // The whole picture as a paint makes it, at the screen's device pixel
    // ratio or at the one given.
    QImage Render();
    QImage Render(qreal devicePixelRatio);
    // Draws rect of the picture at once from the current state and leaves
    // the rest as it is; the next paint shows it without drawing anew. With
    // no picture yet at the control's size, the whole control is repainted.
    void DrawNow(const TRect &rect);
    // Draws the whole picture into another widget's painter at (0, 0), for a
    // child that shows the control's picture in its place.
    void PaintTo(QPainter &painter);

protected:
    // Brings up to date what Paint reads but a setter cannot know: a layout
    // measured in the current font, a size that must snap. Default: nothing.
    virtual void SyncState() {}
    // Draws the whole control onto canvas, which has the control's size.
    virtual void Paint(TCanvas &canvas) const = 0;
    // The part of the control its picture covers; elsewhere what lies
    // beneath shows through.
    virtual QRegion PictureRegion() const { return rect(); }

    void paintEvent(QPaintEvent *event) final;

private:
    // The one preparation before every picture: SyncState, then a canvas of
    // the control's size with no clipping, then Paint.
    void Compose();
    bool PictureIsCurrentSize() const;
    qreal pictureRatio() const;

    TCanvas canvas_;
    qreal renderRatio_ = 0; // while Render(ratio) draws; 0 = the screen's
    bool hasPicture_ = false;
    QRegion drawnNotShown_; // what DrawNow drew since the last paint
};

// Assigns value to field; when it changed, repaints by the given rule
// (update, repaint, or anything callable). Returns whether it changed.
template <class T, class Repaint>
bool AssignAndRepaint(T &field, const T &value, Repaint &&repaint)
{
    if (field == value)
        return false;
    field = value;
    repaint();
    return true;
}

// A control that only paints its colour and holds others; an optional inner
// border keeps aligned children off its edges.
class TPanel : public TCustomControl {
    Q_OBJECT
public:
    explicit TPanel(QWidget *parent = nullptr);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool value);

protected:
    void Paint(TCanvas &canvas) const override;
    TRect ClientAlignRect() const override;

private:
    int borderWidth_ = 0;
    bool showCaption_ = true;
};

// A picture drawn unscaled from the top-left corner and clipped; without a
// picture it is a transparent hot-spot over what lies beneath.
class TImage : public TCustomControl {
    Q_OBJECT
public:
    explicit TImage(QWidget *parent = nullptr);
    const QImage &Picture() const { return picture_; }
    void SetPicture(const QImage &picture);
    // With a second picture of the same scene drawn for denser screens (its
    // devicePixelRatio above 1), shown wherever the screen has the pixels.
    void SetPicture(const QImage &picture, const QImage &denser);
    // Reads a picture file (JPEG or any format Qt reads) and, when there is
    // one beside it, its "@2x" twin ("banner@2x.jpg" for "banner.jpg").
    bool LoadPicture(const QString &fileName);

protected:
    void Paint(TCanvas &canvas) const override;
    QRegion PictureRegion() const override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage picture_;
    QImage denser_;
};

// A top-level window: modal result, active control, main menu, accelerators,
// and the close event.
class TForm : public TCustomControl {
    Q_OBJECT
public:
    explicit TForm(QWidget *parent = nullptr);
    ~TForm() override;

    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // The control inside this form that has (or gets, when the form becomes
    // active) the keyboard focus.
    QWidget *ActiveControl() const;
    void SetActiveControl(QWidget *control);

    // The form's main menu (its Menu property); none when it has none or the
    // menu is gone.
    TMainMenu *Menu() const;
    void SetMenu(TMainMenu *menu);
    // Repaints the bar of the main menu, if one is shown.
    void DrawMenuBar();

    // No desktop frame and no desktop caption.
    void SetBorderStyleNone();

    // Runs when the form closes; setting accept to false keeps it open.
    std::function<void(QObject *sender, bool &accept)> OnClose;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void Paint(TCanvas &canvas) const override;

private:
    int modalResult_ = 0;
    QPointer<TMainMenu> menu_;
};

template <class F>
void TControl::Guarded(F &&f)
{
    ErrorBox().Guard(std::forward<F>(f));
}

} // namespace framework
