// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/Controls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "framework/Menus.h"

namespace framework {

bool IsAccel(QChar ch, const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QChar('&'))
            continue;
        if (caption[i + 1] == QChar('&')) { // "&&" is a plain "&"
            ++i;
            continue;
        }
        return caption[i + 1].toUpper() == ch.toUpper();
    }
    return false;
}

namespace {

// The deepest visible child of w under the point (in w's coordinates),
// the topmost one first; disabled children count.
QWidget *childUnder(QWidget *w, QPoint p)
{
    const QObjectList &kids = w->children();
    for (qsizetype i = kids.size() - 1; i >= 0; --i) {
        auto *child = qobject_cast<QWidget *>(kids[i]);
        if (!child || child->isWindow() || child->isHidden() || child->testAttribute(Qt::WA_TransparentForMouseEvents))
            continue;
        const QPoint local = p - child->pos();
        if (!child->rect().contains(local))
            continue;
        if (!child->mask().isEmpty() && !child->mask().contains(local))
            continue;
        QWidget *deeper = childUnder(child, local);
        return deeper ? deeper : child;
    }
    return nullptr;
}

QWidget *windowUnder(const QPoint &screenPos)
{
    // The desktop knows the stacking order of the windows; where it does not
    // tell (no global positions), the active window is taken to be on top.
    if (QWidget *w = QApplication::topLevelAt(screenPos))
        return w;
    auto covers = [&](QWidget *w) {
        return w && w->isVisible() && !w->isMinimized() && w->geometry().contains(screenPos);
    };
    if (QWidget *active = QApplication::activeWindow(); covers(active))
        return active;
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (qsizetype i = tops.size() - 1; i >= 0; --i)
        if (covers(tops[i]))
            return tops[i];
    return nullptr;
}

} // namespace

QWidget *FindControlAtPos(const QPoint &screenPos)
{
    QWidget *window = windowUnder(screenPos);
    if (!window)
        return nullptr;
    QWidget *child = childUnder(window, window->mapFromGlobal(screenPos));
    return child ? child : window;
}

TControl::TControl(QWidget *parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    if (TControl *p = ParentControl()) {
        font_ = p->Font();
        showHint_ = p->ShowHint();
    }
    fontRatio_ = devicePixelRatioF();
    QWidget::setFont(QtFont());
    setFocusPolicy(Qt::NoFocus);
    WatchScreenScales();
    // Set here: the parent-change notification of construction does not
    // reach this class.
    JoinTabList();
}

TControl::~TControl()
{
    // Children outlive this part of the destruction (the widget base deletes
    // them later), so they must not reach back into this list.
    for (const QPointer<TControl> &c : std::as_const(tabList_))
        if (c)
            c->tabParent_ = nullptr;
    tabList_.clear();
    LeaveTabList();
}

QObject *TControl::Owner() const
{
    if (owner_)
        return owner_;
    return GetParentForm();
}

void TControl::SetBounds(int left, int top, int width, int height) { setGeometry(left, top, width, height); }

void TControl::SetAlign(TAlign align)
{
    if (align_ == align)
        return;
    align_ = align;
    if (TControl *p = ParentControl())
        p->AlignControls();
}

void TControl::SetColor(TColor color)
{
    if (color_ == color && !parentColor_)
        return;
    color_ = color;
    parentColor_ = false;
    ColorChanged();
}

void TControl::SetParentColor(bool value)
{
    if (parentColor_ == value)
        return;
    parentColor_ = value;
    if (value)
        ParentColorChanged();
}

void TControl::SetFont(const TFont &font)
{
    parentFont_ = false;
    if (font_ == font)
        return;
    font_ = font;
    FontChanged();
}

void TControl::SetParentFont(bool value)
{
    if (parentFont_ == value)
        return;
    parentFont_ = value;
    if (value)
        ParentFontChanged();
}

void TControl::SetCaption(const QString &caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    TextChanged();
}

// The application's hint machinery shows the hint; see TApplication.
void TControl::SetHint(const QString &hint) { hint_ = hint; }

void TControl::SetShowHint(bool value)
{
    parentShowHint_ = false;
    ApplyShowHint(value);
}

void TControl::ApplyShowHint(bool value)
{
    if (showHint_ == value)
        return;
    showHint_ = value;
    for (TControl *child : ChildControls())
        if (child->parentShowHint_)
            child->ApplyShowHint(value);
}

void TControl::SetParentShowHint(bool value)
{
    if (parentShowHint_ == value)
        return;
    parentShowHint_ = value;
    if (value)
        if (TControl *p = ParentControl())
            ApplyShowHint(p->ShowHint());
}

int TControl::TabOrder() const
{
    TControl *p = tabParent_;
    return p ? static_cast<int>(p->TabList().indexOf(const_cast<TControl *>(this))) : -1;
}

void TControl::SetTabOrder(int order)
{
    TControl *p = tabParent_;
    if (!p)
        return;
    QList<TControl *> list = p->TabList();
    const qsizetype current = list.indexOf(this);
    if (order < 0 || order >= list.size())
        order = static_cast<int>(list.size()) - 1;
    if (current < 0 || current == order)
        return;
    list.move(current, order);
    p->tabList_.clear();
    for (TControl *c : list)
        p->tabList_.append(c);
    p->ApplyTabOrder();
}

QList<TControl *> TControl::TabList()
{
    QList<TControl *> list;
    for (const QPointer<TControl> &c : tabList_)
        if (c)
            list.append(c.data());
    return list;
}

void TControl::JoinTabList()
{
    TControl *p = ParentControl();
    if (p == tabParent_)
        return;
    LeaveTabList();
    tabParent_ = p;
    if (p)
        p->tabList_.append(this);
}

void TControl::LeaveTabList()
{
    if (TControl *p = tabParent_)
        p->tabList_.removeIf([this](const QPointer<TControl> &c) { return c.isNull() || c.data() == this; });
    tabParent_ = nullptr;
}

void TControl::Click() { Fire(OnClick); }

void TControl::SetTabStop(bool value)
{
    tabStop_ = value;
    // A control without a tab stop still takes the focus when clicked.
    if (focusPolicy() != Qt::NoFocus || value)
        setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
    if (TControl *p = ParentControl())
        p->ApplyTabOrder();
}

void TControl::SetPopupMenu(TPopupMenu *menu) { popupMenu_ = menu; }

void TControl::Loaded() { loading_ = false; }

TForm *TControl::GetParentForm() const
{
    for (QWidget *w = const_cast<TControl *>(this); w; w = w->parentWidget())
        if (auto *form = qobject_cast<TForm *>(w))
            return form;
    return nullptr;
}

TControl *TControl::ParentControl() const { return qobject_cast<TControl *>(parentWidget()); }

QList<TControl *> TControl::ChildControls() const
{
    return findChildren<TControl *>(QString(), Qt::FindDirectChildrenOnly);
}

bool TControl::Broadcast(int message, qintptr wParam, QObject *lParam)
{
    for (TControl *child : ChildControls())
        if (child->ControlMessage(message, wParam, lParam))
            return true;
    return false;
}

bool TControl::ControlMessage(int, qintptr, QObject *) { return false; }

bool TControl::DialogChar(QChar) { return false; }

void TControl::SysColorsChanged()
{
    SysColorChange();
    for (TControl *child : ChildControls())
        child->SysColorsChanged();
}

void TControl::ColorChanged()
{
    update();
    for (TControl *child : ChildControls())
        child->ParentColorChanged();
}

void TControl::ParentColorChanged()
{
    TControl *p = ParentControl();
    if (!parentColor_ || !p)
        return;
    if (color_ != p->Color()) {
        color_ = p->Color();
        ColorChanged();
    }
}

void TControl::FontChanged()
{
    fontRatio_ = devicePixelRatioF();
    QWidget::setFont(QtFont());
    update();
    for (TControl *child : ChildControls())
        child->ParentFontChanged();
}

void TControl::ParentFontChanged()
{
    TControl *p = ParentControl();
    if (!parentFont_ || !p || font_ == p->Font())
        return;
    font_ = p->Font();
    FontChanged();
}

void TControl::EnabledChanged() { update(); }
void TControl::TextChanged() { update(); }
void TControl::SysColorChange() { update(); }
void TControl::MouseEnter() {}
void TControl::MouseLeave() {}

bool TControl::event(QEvent *event)
{
    // The window's screenChanged reaches every widget as ScreenChangeInternal.
    const bool newScreen = event->type() == QEvent::ScreenChangeInternal
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
                           || event->type() == QEvent::DevicePixelRatioChange
#endif
        ;
    if (newScreen)
        FollowDevicePixelRatio();
    return QWidget::event(event);
}

void TControl::FollowDevicePixelRatio()
{
    if (devicePixelRatioF() != fontRatio_) {
        fontRatio_ = devicePixelRatioF();
        DevicePixelRatioChanged();
    }
}

void TControl::WatchScreenScales()
{
    // Before 6.6 Qt tells a widget nothing when the scale of the screen it
    // is on changes (the desktop's settings, a compositor's output scale):
    // the screen tells its new density, and then every control looks at
    // its ratio, once Qt has settled the windows' ratios.
    static QPointer<QObject> watcher;
    if (watcher || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    watcher = new QObject(QCoreApplication::instance());
    auto followAll = [] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *control = qobject_cast<TControl *>(top))
                control->FollowDevicePixelRatio();
            for (TControl *control : top->findChildren<TControl *>())
                control->FollowDevicePixelRatio();
        }
    };
    auto watch = [followAll](QScreen *screen) {
        auto later = [followAll] { QTimer::singleShot(0, watcher, followAll); };
        QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, watcher, later);
        QObject::connect(screen, &QScreen::physicalDotsPerInchChanged, watcher, later);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, watcher, watch);
}

void TControl::DevicePixelRatioChanged()
{
    QWidget::setFont(QtFont());
    update();
}

void TControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        EnabledChanged();
    else if (event->type() == QEvent::ParentChange) {
        JoinTabList();
        ParentColorChanged();
        ParentFontChanged();
        if (TControl *p = ParentControl(); p && parentShowHint_)
            ApplyShowHint(p->ShowHint());
    }
    QWidget::changeEvent(event);
}

void TControl::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    MouseEnter();
}

void TControl::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    MouseLeave();
}

void TControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    AlignControls();
}

TShiftState TControl::ShiftStateOf(const QMouseEvent *event)
{
    TShiftState s = 0;
    const Qt::KeyboardModifiers m = event->modifiers();
    if (m & Qt::ShiftModifier)
        s |= ssShift;
    if (m & Qt::AltModifier)
        s |= ssAlt;
    if (m & Qt::ControlModifier)
        s |= ssCtrl;
    const Qt::MouseButtons b = event->buttons();
    if (b & Qt::LeftButton)
        s |= ssLeft;
    if (b & Qt::RightButton)
        s |= ssRight;
    if (b & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

namespace {

bool buttonOf(const QMouseEvent *event, TMouseButton &out)
{
    switch (event->button()) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
    }
}

} // namespace

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        Guarded([&] { OnMouseDown(this, button, shift, x, y); });
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        Guarded([&] { OnMouseMove(this, shift, x, y); });
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        Guarded([&] { OnMouseUp(this, button, shift, x, y); });
}

// A control takes the mouse events that reach it, so the button held on it
// keeps sending the moves and the release here (the mouse capture).
void TControl::mousePressEvent(QMouseEvent *event)
{
    TMouseButton b;
    if (buttonOf(event, b)) {
        const QPoint p = event->position().toPoint();
        MouseDown(b, ShiftStateOf(event), p.x(), p.y());
    }
    event->accept();
}

void TControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    TMouseButton b;
    if (buttonOf(event, b)) {
        const QPoint p = event->position().toPoint();
        MouseDown(b, ShiftStateOf(event) | ssDouble, p.x(), p.y());
    }
    event->accept();
}

void TControl::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    MouseMove(ShiftStateOf(event), p.x(), p.y());
    event->accept();
}

void TControl::mouseReleaseEvent(QMouseEvent *event)
{
    TMouseButton b;
    if (buttonOf(event, b)) {
        const QPoint p = event->position().toPoint();
        MouseUp(b, ShiftStateOf(event), p.x(), p.y());
    }
    event->accept();
}

void TControl::contextMenuEvent(QContextMenuEvent *event)
{
    if (popupMenu_) {
        popupMenu_->Popup(event->globalPos().x(), event->globalPos().y());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

void TControl::AlignControls()
{
    TRect room = ClientAlignRect();
    const QList<TControl *> children = ChildControls();
    // Tops first, then bottoms, lefts, rights and what fills the rest.
    for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl *c : children) {
            if (c->Align() != pass || c->isHidden())
                continue;
            switch (pass) {
            case alTop:
                c->setGeometry(room.Left, room.Top, room.Width(), c->height());
                room.Top += c->height();
                break;
            case alBottom:
                room.Bottom -= c->height();
                c->setGeometry(room.Left, room.Bottom, room.Width(), c->height());
                break;
            case alLeft:
                c->setGeometry(room.Left, room.Top, c->width(), room.Height());
                room.Left += c->width();
                break;
            case alRight:
                room.Right -= c->width();
                c->setGeometry(room.Right, room.Top, c->width(), room.Height());
                break;
            case alClient: c->setGeometry(room.ToQRect()); break;
            case alNone: break;
            }
        }
    }
}

void TControl::Fire(const TNotifyEvent &event)
{
    if (event)
        Guarded([&] { event(this); });
}

void TControl::ApplyTabOrder()
{
    QList<TControl *> stops;
    for (TControl *c : TabList())
        if (c->TabStop())
            stops << c;
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

} // namespace framework
