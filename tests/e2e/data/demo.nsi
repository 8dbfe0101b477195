; A small 64-bit program with an uninstaller, installed silently into a test prefix.
; Defines: OUTFILE (the installer to write), KEYNAME (its Uninstall subkey), and POLISH for a
; display name that Windows-1252 cannot hold. For the uninstall tests: TARGET32 builds a
; 32-bit program, UNSLEEP makes the uninstaller take that many milliseconds, and ORDERLOG
; names a file the uninstaller appends "start KEYNAME" and "end KEYNAME" lines to. Like every
; NSIS uninstaller, this one copies itself to a temporary folder, starts the copy and exits.
Unicode true
!ifdef TARGET32
  Target x86-unicode
!else
  Target amd64-unicode
!endif
SetCompressor zlib
Name "Purgelet Demo"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Purgelet Demo ${KEYNAME}"
RequestExecutionLevel admin
SilentInstall silent
SilentUnInstall silent

!ifdef POLISH
  !define DISPLAYNAME "Zażółć gęślą jaźń"
!else
  !define DISPLAYNAME "Purgelet Demo Café"
!endif
!define UNINST "Software\Microsoft\Windows\CurrentVersion\Uninstall\${KEYNAME}"

Section
  SetRegView 64
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST}" "DisplayName" "${DISPLAYNAME}"
  WriteRegStr HKLM "${UNINST}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINST}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINST}" "DisplayVersion" "1.2.3"
  WriteRegStr HKLM "${UNINST}" "Publisher" "Tervask Café"
  WriteRegStr HKLM "${UNINST}" "URLInfoAbout" "https://example.com/demo?a=1&b=2"
  WriteRegStr HKLM "${UNINST}" "Comments" 'Quotes "inside", and a back\slash'
  WriteRegExpandStr HKLM "${UNINST}" "InstallLocation" "%ProgramFiles%\Purgelet Demo ${KEYNAME}"
  WriteRegDWORD HKLM "${UNINST}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST}" "EstimatedSize" 0xFFFFFFFF
  WriteRegBin HKLM "${UNINST}" "Blob" 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20
SectionEnd

!macro OrderLog WORD
  !ifdef ORDERLOG
    FileOpen $0 "${ORDERLOG}" a
    FileSeek $0 0 END
    FileWrite $0 "${WORD} ${KEYNAME}$\r$\n"
    FileClose $0
  !endif
!macroend

Section "Uninstall"
  SetRegView 64
  !insertmacro OrderLog start
  !ifdef UNSLEEP
    Sleep ${UNSLEEP}
  !endif
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST}"
  !insertmacro OrderLog end
SectionEnd
