; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer: a per-user install, with no administrator rights,
; into %LOCALAPPDATA%\Programs\Zantrope, with a Start menu entry, "Open
; with" entries for every type Zantrope accepts (never the default) and an
; uninstaller listed in Apps, which takes away every file and key it made and
; leaves the user's settings in %APPDATA%\Zantrope. /S installs and
; uninstalls without a word. The build (CMakeLists.txt beside it) defines
; VERSION, VERSION4, STAGE (the folder of the files), TYPES (the accepted
; extensions, as a list of macro calls), ICON and OUTFILE.
; A 64-bit installer for the 64-bit program, which also runs where Wine
; has no 32-bit side.
Target amd64-unicode
; The name people expect ends in "-setup-x64.exe"; Windows' guess that such a
; file needs to be raised is off, as the manifest asks for the user's rights.
!pragma warning disable 9000
ManifestDPIAware true
RequestExecutionLevel user
; No times of the build in the installer, so that two builds are the same bytes.
SetDateSave off
SetCompressor /SOLID lzma

Name "Zantrope"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zantrope"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "Zantrope"
VIAddVersionKey /LANG=1033 "FileDescription" "Zantrope Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "The Zantrope developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 The Zantrope developers; GNU GPL version 3 or later"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zantrope"
!define PROGID "Zantrope.Media"
!define APPLICATION "Software\Classes\Applications\zantrope.exe"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Zantrope among the programs that open EXT, beside whatever opens it now.
!macro Type EXT
  WriteRegStr HKCU "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKCU "${APPLICATION}\SupportedTypes" "${EXT}" ""
!macroend
; Takes away only Zantrope's own value, and a key only when nothing else is left in it.
!macro UnType EXT
  DeleteRegValue HKCU "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}"
!macroend

; Tells Explorer that the file types changed (SHCNE_ASSOCCHANGED).
!macro AssociationsChanged
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\zantrope.exe"
  File "${STAGE}\zantrope.com"
  File "${STAGE}\readme.html"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\THIRD-PARTY.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Zantrope.lnk" "$INSTDIR\zantrope.exe" "" "$INSTDIR\zantrope.exe" 0

  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\zantrope.exe,0"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\zantrope.exe" "%1"'
  WriteRegStr HKCU "${APPLICATION}" "FriendlyAppName" "Zantrope"
  WriteRegStr HKCU "${APPLICATION}\shell\open\command" "" '"$INSTDIR\zantrope.exe" "%1"'
  !define Each "!insertmacro Type"
  !include "${TYPES}"
  !undef Each
  !insertmacro AssociationsChanged

  ; Also how the program tells that it is the installed copy, whose
  ; settings belong in %APPDATA%\Zantrope.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Zantrope"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Zantrope developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zantrope.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section Uninstall
  SetShellVarContext current
  Delete "$INSTDIR\zantrope.exe"
  Delete "$INSTDIR\zantrope.com"
  Delete "$INSTDIR\readme.html"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: what else the person put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Zantrope.lnk"

  !define Each "!insertmacro UnType"
  !include "${TYPES}"
  !undef Each
  DeleteRegKey HKCU "Software\Classes\${PROGID}"
  DeleteRegKey HKCU "${APPLICATION}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  !insertmacro AssociationsChanged
SectionEnd
