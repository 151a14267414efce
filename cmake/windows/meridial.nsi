; The Windows installer: Meridial.exe with its read-me and licence under Program Files\Meridial,
; a Start-menu entry for every user, and an uninstaller listed in Settings > Apps.
; Built by tools/package-windows.sh:
;   makensis -DVERSION=4.0.0 -DEXE=Meridial.exe -DMANUAL=meridialmanual.txt -DLICENSE=LICENSE
;            -DOUTFILE=Meridial-4.0.0-setup.exe meridial.nsi
; /S installs and uninstalls without a window, for administrators who deploy to many PCs.

; A 64-bit installer for a 64-bit program: it writes Program Files and the registry view that
; Apps lists from without redirection, and needs no 32-bit support where it runs.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh

!macro Required define
  !ifndef ${define}
    !error "Define ${define} on makensis' command line (tools/package-windows.sh does)"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required EXE
!insertmacro Required MANUAL
!insertmacro Required LICENSE
!insertmacro Required OUTFILE

!define PRODUCT "Meridial"
!define PUBLISHER "Meridial contributors"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Per machine: the program, its read-me and its settings file belong to the PC, not to a user.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; Installing again over an earlier copy goes where that one is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "MIT License, ${PUBLISHER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; Started from here the program has the installer's rights, so the port chosen in SetCom is saved
; beside it for every user of the PC.
!define MUI_FINISHPAGE_RUN "$INSTDIR\Meridial.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\meridialmanual.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext all
FunctionEnd

Section "Meridial"
  SetOutPath "$INSTDIR"
  File "/oname=Meridial.exe" "${EXE}"
  File "/oname=meridialmanual.txt" "${MANUAL}"
  File "/oname=LICENSE" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Meridial.exe" "" \
    "$INSTDIR\Meridial.exe" 0 SW_SHOWNORMAL "" "Program the LED clock-and-message sign"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Meridial.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; Only what the installer put there: Meridial.INI, which SetCom writes or an administrator
  ; deploys, stays for the next install, and so does the folder with it.
  Delete "$INSTDIR\Meridial.exe"
  Delete "$INSTDIR\meridialmanual.txt"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
