// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TApplication.h"

#include <QEvent>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "framework/TColor.h"

#include "desktop/Cursor.h"
#include "desktop/Desktop.h"
#include "desktop/Screens.h"
#include "framework/Accessibility.h"
#include "framework/Controls.h"
#include "framework/HintTracker.h"
#include "platform/Exceptions.h"

namespace framework {

TApplication &Application()
{
    static TApplication app;
    return app;
}

void TApplication::Minimize()
{
    if (QWidget *form = MainForm())
        form->showMinimized();
}

void TApplication::ApplySystemPalette()
{
    QPalette p;
    const auto set = [&p](QPalette::ColorRole role, TColor colour) { p.setColor(role, ToQColor(colour)); };
    set(QPalette::Window, clBtnFace);
    set(QPalette::WindowText, clWindowText);
    set(QPalette::Base, clWindow);
    set(QPalette::AlternateBase, clBtnFace);
    set(QPalette::Text, clWindowText);
    set(QPalette::Button, clBtnFace);
    set(QPalette::ButtonText, clBtnText);
    set(QPalette::Light, clBtnHighlight);
    set(QPalette::Midlight, cl3DLight);
    set(QPalette::Mid, clBtnShadow);
    set(QPalette::Dark, clBtnShadow);
    set(QPalette::Shadow, cl3DDkShadow);
    set(QPalette::Highlight, clHighlight);
    set(QPalette::HighlightedText, clHighlightText);
    set(QPalette::ToolTipBase, clInfoBk);
    set(QPalette::ToolTipText, clInfoText);
    set(QPalette::PlaceholderText, clGrayText);
    p.setColor(QPalette::Disabled, QPalette::Text, ToQColor(clGrayText));
    p.setColor(QPalette::Disabled, QPalette::WindowText, ToQColor(clGrayText));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, ToQColor(clGrayText));
    QApplication::setPalette(p);
}

// ---------------------------------------------------------------------------
// Hints

namespace {

// How far below the pointer the standard hint starts, clear of the arrow.
constexpr int CursorHeightMargin = 20;

} // namespace

void TApplication::SetShowHint(bool value)
{
    if (showHint_ == value)
        return;
    showHint_ = value;
    if (value) {
        StartHintTracking();
        if (QApplication::instance()) {
            delete hintWindow_.data();
            hintWindow_ = hintWindowClass_();
            hintWindow_->SetColor(hintColor_);
        }
    } else {
        CancelHint();
        delete hintWindow_.data();
    }
}

void TApplication::SetHintColor(TColor color)
{
    hintColor_ = color;
    if (hintWindow_)
        hintWindow_->SetColor(color);
}

void TApplication::SetHintWindowClass(THintWindowClass windowClass)
{
    if (windowClass)
        hintWindowClass_ = windowClass;
}

TControl *TApplication::HintControl() const { return hintControl_; }

bool TApplication::HintShowing() const { return hintWindow_ && hintWindow_->isVisible(); }

HintTracker *TApplication::Tracker()
{
    StartHintTracking();
    return tracker_;
}

void TApplication::StartHintTracking()
{
    if (!tracker_ && QApplication::instance())
        tracker_ = new HintTracker(QApplication::instance(), {[this](QWidget *w) { HintMouseMessage(w); },
                                                              [this] { CancelHint(); }, [this] { HintTimerTick(); }});
}

void TApplication::DestroyHintWindow()
{
    CancelHint();
    delete hintWindow_.data();
    delete noticeWindow_.data();
}

namespace {

// A notice points at its control; when the control's window moves, the
// notice hides instead of staying where the window was.
class NoticeAnchor final : public QObject {
public:
    explicit NoticeAnchor(QWidget *notice) : QObject(notice), notice_(notice)
    {
        setObjectName(QStringLiteral("noticeAnchor"));
    }
    void Watch(QWidget *window)
    {
        if (window_)
            window_->removeEventFilter(this);
        window_ = window;
        window_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Move)
            notice_->hide();
        return false;
    }

private:
    QWidget *notice_;
    QPointer<QWidget> window_;
};

} // namespace

void TApplication::ShowNotice(QWidget *control, const QString &text)
{
    if (!control || text.isEmpty())
        return;
    if (!noticeWindow_) {
        noticeWindow_ = hintWindowClass_();
        auto *timer = new QTimer(noticeWindow_);
        timer->setObjectName(QStringLiteral("noticeTimer"));
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer); // as the hints' own: never early
        QObject::connect(timer, &QTimer::timeout, noticeWindow_, &QWidget::hide);
        new NoticeAnchor(noticeWindow_);
    }
    // Found by name: the class has no meta-object of its own to be found by.
    static_cast<NoticeAnchor *>(noticeWindow_->findChild<QObject *>(QStringLiteral("noticeAnchor")))
        ->Watch(control->window());
    noticeWindow_->SetColor(hintColor_);
    const QSize screen = platform::PrimaryScreenSize();
    TRect rect = noticeWindow_->CalcHintRect(screen.isEmpty() ? 300 : screen.width(), text);
    const QPoint below = control->mapToGlobal(QPoint(0, control->height()));
    OffsetRect(rect, below.x(), below.y());
    noticeWindow_->SetNotice(true);
    noticeWindow_->ActivateNotice(rect, text, control);
    // Qt tells nobody that a tool-tip window shows, and the desktop's bridge
    // reads an alert from the showing of a window in that role: both are sent.
    for (QAccessible::Event type : {QAccessible::ObjectShow, QAccessible::Alert}) {
        QAccessibleEvent event(noticeWindow_.data(), type);
        Announce(event);
    }
    if (auto *timer = noticeWindow_->findChild<QTimer *>(QStringLiteral("noticeTimer")))
        timer->start(std::max(hintHidePause_, 1));
}

void TApplication::HideNotice()
{
    if (noticeWindow_)
        noticeWindow_->hide();
}

THintWindow *TApplication::Notice() const
{
    return noticeWindow_ && noticeWindow_->isVisible() ? noticeWindow_.data() : nullptr;
}

bool TApplication::HintTimerActive() const { return tracker_ && tracker_->Timer().isActive(); }

int TApplication::HintTimerInterval() const { return tracker_ ? tracker_->Timer().interval() : 0; }

void TApplication::FireHintTimer()
{
    if (HintTimerActive())
        HintTimerTick();
}

void TApplication::StartHintTimer(int ms, HintTimerMode mode)
{
    HintTracker *tracker = Tracker();
    if (!tracker)
        return;
    timerMode_ = mode;
    tracker->Timer().start(std::max(ms, 0));
}

void TApplication::StopHintTimer()
{
    if (tracker_)
        tracker_->Timer().stop();
}

void TApplication::HintTimerTick()
{
    StopHintTimer();
    if (timerMode_ == HintTimerMode::Hide)
        HideHint();
    else
        ActivateHint(platform::GetCursorPos());
}

TControl *TApplication::GetHintControl(QWidget *w)
{
    for (; w; w = w->parentWidget()) {
        if (auto *control = qobject_cast<TControl *>(w); control && control->ShowHint())
            return control;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

QString TApplication::GetHint(TControl *control)
{
    for (; control; control = control->ParentControl())
        if (!control->Hint().isEmpty())
            return control->Hint();
    return QString();
}

void TApplication::HideHint()
{
    if (hintWindow_ && hintWindow_->isVisible())
        hintWindow_->hide();
}

void TApplication::CancelHint()
{
    HideHint();
    hintControl_ = nullptr;
    StopHintTimer();
}

void TApplication::HintMouseMessage(QWidget *target)
{
    TControl *control = GetHintControl(target);
    if (!control || !showHint_) {
        CancelHint();
        return;
    }
    const QPoint cursor = platform::GetCursorPos();
    if (control == hintControl_ && PtInRect(hintCursorRect_, {cursor.x(), cursor.y()}))
        return;
    // Moving on from a hint on the screen, the next one follows quickly; once
    // a hint has hidden itself, the next waits the whole pause again.
    const bool wasShowing = HintShowing();
    CancelHint();
    hintControl_ = control;
    hintCursorRect_ = TRect::FromQRect(QRect(control->mapToGlobal(QPoint(0, 0)), control->size()));
    if (wasShowing)
        StartHintTimer(hintShortPause_, HintTimerMode::Immediate);
    else
        StartHintTimer(hintPause_, HintTimerMode::Initial);
}

void TApplication::ActivateHint(QPoint cursorPos)
{
    TControl *control = hintControl_;
    if (!showHint_ || !control || !control->isVisible() || GetHintControl(FindControlAtPos(cursorPos)) != control) {
        CancelHint();
        return;
    }
    THintInfo info;
    info.HintControl = control;
    info.HintPos = cursorPos + QPoint(0, CursorHeightMargin);
    const QSize screen = platform::PrimaryScreenSize();
    info.HintMaxWidth = screen.isEmpty() ? 300 : screen.width();
    info.HintColor = hintColor_;
    info.CursorRect = control->ClientRect();
    info.CursorPos = control->mapFromGlobal(cursorPos);
    info.HideTimeout = hintHidePause_;
    info.HintStr = GetHint(control);
    bool canShow = true;
    if (OnShowHint) {
        // A failing handler shows its error and no hint.
        if (!Guard([&] { OnShowHint(info.HintStr, canShow, info); }))
            canShow = false;
    }
    // The handler may have run anything, the control's end included.
    if (!hintControl_ || hintControl_ != control) {
        CancelHint();
        return;
    }
    if (!canShow || info.HintStr.isEmpty()) {
        // Not again before the pointer moves to another control.
        HideHint();
        StopHintTimer();
        return;
    }
    if (!hintWindow_) {
        hintWindow_ = hintWindowClass_();
        hintWindow_->SetColor(hintColor_);
    }
    hintCursorRect_ = TRect::FromQRect(QRect(control->mapToGlobal(QPoint(info.CursorRect.Left, info.CursorRect.Top)),
                                             QSize(info.CursorRect.Width(), info.CursorRect.Height())));
    TRect rect = hintWindow_->CalcHintRect(info.HintMaxWidth, info.HintStr);
    OffsetRect(rect, info.HintPos.x(), info.HintPos.y());
    hintWindow_->SetColor(info.HintColor);
    hintWindow_->ActivateHint(rect, info.HintStr);
    if (info.HideTimeout > 0)
        StartHintTimer(info.HideTimeout, HintTimerMode::Hide);
    else
        StopHintTimer();
}

TQtApplication::TQtApplication(int &argc, char **argv) : QApplication(argc, argv) { Application().StartHintTracking(); }

// The hint window is a top-level widget: it must go before Qt does.
TQtApplication::~TQtApplication() { Application().DestroyHintWindow(); }

} // namespace framework
