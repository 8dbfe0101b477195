; A program that spreads itself the way real ones do, for the leftovers tests: a Start-menu and
; a desktop shortcut, a settings folder and key under its publisher's name, a file association
; and an App Paths entry. Its uninstaller leaves the settings, the key, the association, the
; App Paths entry, the desktop shortcut and a log file in its folder behind, as many do.
; Defines: OUTFILE, KEYNAME (its Uninstall subkey), PRODUCT (its name and folder), PUBLISHER,
; EXT (the file extension it opens, without the dot).
Unicode true
Target amd64-unicode
SetCompressor zlib
Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PUBLISHER}\${PRODUCT}"
RequestExecutionLevel admin
SilentInstall silent
SilentUnInstall silent

!define UNINST "Software\Microsoft\Windows\CurrentVersion\Uninstall\${KEYNAME}"

Section
  SetRegView 64
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteUninstaller "$INSTDIR\${KEYNAME}.exe"
  FileOpen $0 "$INSTDIR\data.log" w
  FileWrite $0 "installed$\r$\n"
  FileClose $0
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${KEYNAME}.exe"
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${KEYNAME}.exe"
  CreateDirectory "$APPDATA\${PUBLISHER}\${PRODUCT}"
  FileOpen $0 "$APPDATA\${PUBLISHER}\${PRODUCT}\settings.ini" w
  FileWrite $0 "[main]$\r$\n"
  FileClose $0
  WriteRegStr HKCU "Software\${PUBLISHER}\${PRODUCT}" "Setting" "1"
  WriteRegStr HKLM "Software\Classes\.${EXT}" "" "${KEYNAME}.Document"
  WriteRegStr HKLM "Software\Classes\${KEYNAME}.Document\shell\open\command" "" '"$INSTDIR\${KEYNAME}.exe" "%1"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\${KEYNAME}.exe" "" "$INSTDIR\${KEYNAME}.exe"
  WriteRegStr HKLM "${UNINST}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINST}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST}" "DisplayIcon" "$INSTDIR\${KEYNAME}.exe,0"
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$INSTDIR\${KEYNAME}.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST}"
SectionEnd
