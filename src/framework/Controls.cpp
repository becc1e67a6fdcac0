#include "framework/Controls.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "framework/Menus.h"
#include "framework/TApplication.h"

namespace framework {

TControl::TControl(QWidget *parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    if (TControl *p = ParentControl()) {
        font_ = p->Font();
        showHint_ = p->ShowHint();
    }
    QWidget::setFont(font_.ToQFont());
    setFocusPolicy(Qt::NoFocus);
}

TControl::~TControl() = default;

void TControl::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, width, height);
}

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

void TControl::SetHint(const QString &hint)
{
    hint_ = hint;
    setToolTip(showHint_ ? hint : QString());
}

void TControl::SetShowHint(bool value)
{
    parentShowHint_ = false;
    showHint_ = value;
    setToolTip(showHint_ ? hint_ : QString());
}

void TControl::SetParentShowHint(bool value)
{
    parentShowHint_ = value;
    if (value)
        if (TControl *p = ParentControl())
            SetShowHint(p->ShowHint()), parentShowHint_ = true;
}

void TControl::SetTabOrder(int order)
{
    tabOrder_ = order;
    if (TControl *p = ParentControl())
        p->ApplyTabOrder();
}

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

void TControl::Loaded()
{
    loading_ = false;
}

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
    QWidget::setFont(font_.ToQFont());
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

void TControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        EnabledChanged();
    else if (event->type() == QEvent::ParentChange) {
        ParentColorChanged();
        ParentFontChanged();
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
            case alClient:
                c->setGeometry(room.ToQRect());
                break;
            case alNone: break;
            }
        }
    }
}

void TControl::Fire(const TNotifyEvent &event)
{
    if (event)
        Application().Guard([&] { event(this); });
}

void TControl::ApplyTabOrder()
{
    QList<TControl *> stops;
    for (TControl *c : ChildControls())
        if (c->TabStop())
            stops << c;
    std::stable_sort(stops.begin(), stops.end(),
                     [](const TControl *a, const TControl *b) { return a->TabOrder() < b->TabOrder(); });
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

// ---------------------------------------------------------------------------

TPanel::TPanel(QWidget *parent) : TControl(parent) {}

void TPanel::SetBorderWidth(int width)
{
    if (borderWidth_ == width)
        return;
    borderWidth_ = width;
    AlignControls();
    update();
}

void TPanel::SetShowCaption(bool value)
{
    if (showCaption_ == value)
        return;
    showCaption_ = value;
    update();
}

void TPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ToQColor(Color()));
    if (showCaption_ && !Caption().isEmpty()) {
        p.setPen(ToQColor(Font().Color));
        p.drawText(rect(), Qt::AlignCenter, Caption());
    }
}

TRect TPanel::ClientAlignRect() const
{
    TRect r = ClientRect();
    InflateRect(r, -borderWidth_, -borderWidth_);
    return r;
}

// ---------------------------------------------------------------------------

TImage::TImage(QWidget *parent) : TControl(parent) {}

void TImage::SetPicture(const QImage &picture)
{
    picture_ = picture;
    update();
}

void TImage::paintEvent(QPaintEvent *)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Fire(OnClick);
}

// ---------------------------------------------------------------------------

TForm::TForm(QWidget *parent) : TControl(parent, Qt::Window)
{
    qApp->installEventFilter(this);
}

TForm::~TForm()
{
    qApp->removeEventFilter(this);
}

QWidget *TForm::ActiveControl() const
{
    QWidget *w = QApplication::focusWidget();
    return w && isAncestorOf(w) ? w : nullptr;
}

void TForm::SetBorderStyleNone()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
}

void TForm::closeEvent(QCloseEvent *event)
{
    bool accept = true;
    if (OnClose && !Application().Guard([&] { OnClose(this, accept); }))
        accept = false;
    if (accept)
        event->accept();
    else
        event->ignore();
}

bool TForm::eventFilter(QObject *watched, QEvent *event)
{
    // Alt+letter: the first control of this form whose caption marks that
    // letter takes it.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *target = qobject_cast<QWidget *>(watched);
        if ((key->modifiers() & Qt::AltModifier) && target && target->window() == this &&
            !key->text().isEmpty()) {
            const QChar ch = key->text().at(0);
            const QList<TControl *> all = findChildren<TControl *>();
            for (TControl *c : all)
                if (c->isVisible() && c->DialogChar(ch))
                    return true;
        }
    }
    return TControl::eventFilter(watched, event);
}

void TForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ToQColor(Color()));
}

} // namespace framework
