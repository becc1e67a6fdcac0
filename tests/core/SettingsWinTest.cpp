// SPDX-License-Identifier: GPL-3.0-or-later
// Where misuc.dat lies on Windows.
#include "core/Settings.h"

#include "platform/File.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <windows.h>

#include "TestFiles.h"

using platform::FileName;

// As the original kept it: beside the program while its folder takes files,
// and never made by merely asking where it goes; otherwise in %APPDATA%.
TEST(SettingsPathWin, BesideTheProgramWhileItsFolderTakesFilesElseInAppData)
{
    const FileName beside = app::ProgramFolder() / "misuc.dat";
    EXPECT_EQ(platform::IdentityOf(app::ProgramFolder()),
              platform::IdentityOf(platform::NameFromText(QCoreApplication::applicationDirPath())));
    ASSERT_TRUE(platform::IsMissing(beside)) << "left over from an earlier run: " << beside.Display().toStdString();
    EXPECT_EQ(app::SettingsPath(), beside);
    EXPECT_TRUE(platform::IsMissing(beside));
    EXPECT_EQ(QDir(QCoreApplication::applicationDirPath())
                  .entryList(QStringList{QStringLiteral(".zantrope-*")}, QDir::Files | QDir::Hidden),
              QStringList());

    QTemporaryDir appData;
    const QString native = QDir::toNativeSeparators(appData.path());
    const QByteArray saved = qgetenv("APPDATA");
    qputenv("APPDATA", native.toUtf8());
    WriteBytesAt(beside.Bytes(), "\r\n");
    const std::wstring besideW = platform::NativeName(beside).value();
    SetFileAttributesW(besideW.c_str(), FILE_ATTRIBUTE_READONLY);
    const FileName chosen = app::SettingsPath();
    SetFileAttributesW(besideW.c_str(), FILE_ATTRIBUTE_NORMAL);
    platform::RemoveFile(beside);
    qputenv("APPDATA", saved);
    EXPECT_EQ(chosen, platform::NameFromText(native) / "Zantrope" / "misuc.dat");
    EXPECT_TRUE(QFileInfo(appData.filePath(QStringLiteral("Zantrope"))).isDir());
}

// The copy the installer put in place keeps its settings in %APPDATA%, where
// uninstalling leaves them, although its folder takes files.
TEST(SettingsPathWin, TheInstalledCopyKeepsItsSettingsInAppData)
{
    const wchar_t *key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zantrope";
    HKEY existing = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &existing), ERROR_SUCCESS)
        << "this prefix has Zantrope installed; the test would take its entry away";
    const std::wstring folder = platform::NativeName(app::ProgramFolder()).value();
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"InstallLocation", REG_SZ, folder.c_str(),
                              DWORD((folder.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    QTemporaryDir appData;
    const QString native = QDir::toNativeSeparators(appData.path());
    const QByteArray saved = qgetenv("APPDATA");
    qputenv("APPDATA", native.toUtf8());
    const FileName chosen = app::SettingsPath();
    qputenv("APPDATA", saved);
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    EXPECT_EQ(chosen, platform::NameFromText(native) / "Zantrope" / "misuc.dat");
}
