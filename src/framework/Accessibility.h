// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What screen readers learn of the controls that paint themselves: each kind
// gets an interface of its own through a factory, installed once when the
// first such control is made. The interfaces read the control's state when
// asked and keep none of their own.
#include <QAccessibleWidget>
#include <QString>
#include <functional>

namespace framework {

// A caption as it reads aloud: without its accelerator marks ("&&" keeps one "&").
QString StripAccel(const QString &caption);

// Installs the framework's factory (panels, pictures, forms, hint windows,
// any other self-painted control); later calls do nothing.
void InstallAccessibleFactory();

// Runs fn on the next turn of the event loop, unless w is gone by then. An
// assistive technology waits for an action's answer: a dialog opened by the
// action must not hold that answer up.
void DoLater(QWidget *w, std::function<void()> fn);

// Tells screen readers of event, through Qt where one listens.
void Announce(QAccessibleEvent &event);

// Whether an announcement would reach anyone. An event about a list's cell
// makes Qt build and keep an interface for that cell: with no one listening,
// a join of 100 000 files would build 100 000 of them for nothing.
bool AnyoneListens();

// While it lives, every announcement also comes here, whether a screen
// reader listens or not: Qt passes events on only while its platform's
// bridge is active, which a test's platform never is. Spies nest.
class AnnouncementSpy {
public:
    explicit AnnouncementSpy(std::function<void(QAccessibleEvent &)> spy);
    ~AnnouncementSpy();
    AnnouncementSpy(const AnnouncementSpy &) = delete;
    AnnouncementSpy &operator=(const AnnouncementSpy &) = delete;

private:
    friend void Announce(QAccessibleEvent &event);
    std::function<void(QAccessibleEvent &)> spy_;
    AnnouncementSpy *previous_;
};

// The common part: named by the accessible name when one is set, else by the
// caption; described by the accessible description, else by the hint.
class TControlAccessible : public QAccessibleWidget {
public:
    TControlAccessible(QWidget *w, QAccessible::Role role);
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
};

// Whether an accessible factory's className is T's, for the factories of
// the layers that have their own controls.
template <class T>
bool IsClass(const QString &className)
{
    return className == QLatin1String(T::staticMetaObject.className());
}

} // namespace framework
