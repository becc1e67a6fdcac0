// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file "misuc.dat" beside the executable: the main window's
// position, the output name and the open dialog's folder, read while the
// window is created and written while it closes.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

#include "platform/FileName.h"

namespace app {

// The whole text as a 32-bit number: leading blanks, an optional "-" or "+",
// then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X".
// Anything else, and a value outside the 32-bit signed range, gives def.
int StrToIntDef(const QString &text, int def);

// Where "misuc.dat" lives. Beside the program for a portable copy: a folder
// that already holds a misuc.dat which may be written (the build puts one
// beside the program it builds). Any other copy, installed under any prefix,
// keeps it in the user's configuration folder, configFolder/zantrope/misuc.dat.
// A folder under /usr never holds it: that tree belongs to the package
// manager, also for root. mayWrite tells whether an existing file may be written.
// On Windows the subfolder is "Zantrope", and a copy keeps misuc.dat beside
// zantrope.exe whenever that folder can be written, as the original did.
platform::FileName ChooseSettingsPath(const platform::FileName &programFolder, const platform::FileName &configFolder,
                                      const std::function<bool(const platform::FileName &)> &mayWrite);

// What each system decides (SettingsLinux.cpp, SettingsWin.cpp):
// The running executable's folder, as its bytes, without a trailing "/".
platform::FileName ProgramFolder();
// The user's configuration folder: $XDG_CONFIG_HOME, by default ~/.config;
// %APPDATA% on Windows.
platform::FileName ConfigFolder();
// The program's own folder inside it: "zantrope"; "Zantrope" on Windows.
QByteArray ConfigSubfolder();
// Whether a copy keeps its settings in beside, the misuc.dat beside the
// program: when that file may be written; on Windows also when it is
// missing and the folder takes new files, as the original did, unless the
// installer put the copy there. On Linux only when it belongs to this user
// or to root; why one that may be written is passed over goes in whyNot.
bool MayKeepSettingsBeside(const platform::FileName &beside, QString &whyNot);

// ChooseSettingsPath for this program and user ($XDG_CONFIG_HOME, by default
// ~/.config; %APPDATA% on Windows); the configuration folder is created when
// it is the one chosen. On Linux a misuc.dat beside the program is kept only
// when it belongs to this user or to root; when it is passed over for
// another's, standard error says so, and SettingsNotice() tells why.
platform::FileName SettingsPath();

// Why SettingsPath() passed over a misuc.dat beside the program, for the
// window to show; empty when it did not.
QString SettingsNotice();

// Creates the file holding one empty line (CR LF) unless something of that
// name exists already. Throws platform::EInOutError when it cannot be created.
void EnsureSettingsFile(const platform::FileName &path);

// What the program falls back to without saved values.
platform::FileName DefaultOutputName(); // "<home>/test.mpg"; on Windows in the Videos folder
platform::FileName DefaultOpenFolder(); // "<home>/"
QPoint DefaultPosition(QSize screen);   // 240 left of and 225 above the screen's centre

// read, when some part of the window's handle (the part a person moves it by,
// relative to its top left) lies on one of the screens with the window placed
// at read; otherwise fallback. With no screen known there is nothing to check
// against and read stands.
QPoint ReachablePosition(QPoint read, const QRect &handle, const QList<QRect> &screens, QPoint fallback);

// How many recent outputs the settings keep.
constexpr std::size_t MaxRecentOutputs = 8;

// What the main window offers the settings.
class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;
    virtual QRect FrameGeometry() const = 0; // the window's current position and size
    // The part a person moves the window by (a frameless window's title bar),
    // relative to its top left: it must stay within reach.
    virtual QRect MoveHandle() const = 0;
    // False where the desktop keeps window positions to itself (Wayland):
    // the stored position is then neither applied nor overwritten.
    virtual bool PositionKnown() const { return true; }
    virtual QList<QRect> Screens() const = 0; // every screen's geometry, the primary one first
    virtual void SetTop(int top) = 0;
    virtual void SetLeft(int left) = 0;
    virtual platform::FileName OutputName() const = 0;
    virtual void SetOutputName(const platform::FileName &name) = 0;
    virtual platform::FileName OpenPath() const = 0; // the folder the open dialog starts in next
    virtual void SetOpenDialogFolder(const platform::FileName &folder) = 0;
    // "Join as One Movie": off by default.
    virtual bool JoinAsOneMovie() const { return false; }
    virtual void SetJoinAsOneMovie(bool) {}
    // The output box's recent outputs, oldest first, at most MaxRecentOutputs.
    virtual std::vector<platform::FileName> RecentOutputs() const { return {}; }
    virtual void SetRecentOutputs(const std::vector<platform::FileName> &) {}
};

// Applies top, left (where the position is known), output name, open
// folder and recent outputs from the file, creating it first when missing. Throws platform::EInOutError when it cannot
// be created; nothing is applied then.
void ReadSettings(const platform::FileName &path, SettingsTarget &target);

// Stores top and left (where the position is known), output name and
// OpenPath, in that order, then the recent outputs. Throws
// platform::EInOutError when the file cannot be created, and
// platform::Exception "Unable to write to <path>" when a value cannot be stored.
void WriteSettings(const platform::FileName &path, const SettingsTarget &target);

} // namespace app
