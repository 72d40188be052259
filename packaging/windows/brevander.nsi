; The Windows installer: the two VST 2 DLLs as two components, each put into the
; folder that hosts read from HKLM\SOFTWARE\VST\VSTPluginsPath in its own registry
; view, and an uninstaller that removes exactly the files it put there.
;   makensis -DVERSION=1.0.0 -DDLL64=... -DDLL32=... -DOUTFILE=... brevander.nsi
; Silent: setup.exe /S [/DIR32=folder] [/D=folder]. /D names the 64-bit plug-in's
; folder (the 32-bit one's on 32-bit Windows) and must come last, as NSIS wants.
Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Name "Brevander ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Brevander ${VERSION}"

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brevander"
!define PUBLISHER "Brevander maintainers"

Var Dir32  ; the 32-bit plug-in's folder; $INSTDIR is the 64-bit one's
Var FinishText

!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipPage64
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will put the 64-bit plug-in, for 64-bit hosts, into this folder. It is the folder your hosts are told of, where there is one; your host's plug-in settings list the folders it scans."
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipPage32
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeavePage32
!define MUI_DIRECTORYPAGE_VARIABLE $Dir32
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will put the 32-bit plug-in, for 32-bit hosts, into this folder. It is the folder 32-bit hosts are told of, where there is one."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The last page says where each file went, and that hosts find it only after a rescan.
!define MUI_PAGE_CUSTOMFUNCTION_PRE ComposeFinishText
!define MUI_FINISHPAGE_TITLE "Brevander ${VERSION} is installed"
!define MUI_FINISHPAGE_TEXT "$FinishText"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The folder hosts of one bitness are told of, else Common Files\VST2 under the
; matching Program Files folder. Leaves the registry view set as asked.
!macro PluginFolder VIEW OUT FALLBACK
  SetRegView ${VIEW}
  ReadRegStr ${OUT} HKLM "SOFTWARE\VST" "VSTPluginsPath"
  ${If} ${OUT} == ""
    StrCpy ${OUT} "${FALLBACK}\VST2"
  ${EndIf}
!macroend

; Removes the DLL that an install recorded for one component, and its folder if
; that install made it and it is empty now. Nothing else in the folder is touched.
!macro RemoveRecorded UN
Function ${UN}RemoveRecorded  ; stack: value name of the component's folder
  Exch $0
  Push $1
  Push $2
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "$0"
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "$0Created"
  ${If} $1 != ""
    Delete "$1\Brevander.dll"
    ${If} $2 == "1"
      RMDir "$1"
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "$0"
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "$0Created"
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro RemoveRecorded ""
!insertmacro RemoveRecorded "un."

; Puts one DLL into a folder and records both, and whether the folder was made here.
!macro InstallPlugin FOLDER FILE VALUE
  ${If} ${FileExists} "${FOLDER}\*"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}Created" "0"
  ${Else}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}Created" "1"
  ${EndIf}
  SetOutPath "${FOLDER}"
  File "/oname=Brevander.dll" "${FILE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "${VALUE}" "${FOLDER}"
!macroend

Section "-Prepare"
  ${If} ${RunningX64}
    SetRegView 64
    ${DisableX64FSRedirection}
  ${EndIf}
  ; A new install replaces the last one: its files go, wherever they were.
  Push "Plugin64Folder"
  Call RemoveRecorded
  Push "Plugin32Folder"
  Call RemoveRecorded
SectionEnd

; Short names: the components list is narrow, and the description box says the rest.
Section "64-bit plug-in" Sec64
  !insertmacro InstallPlugin $INSTDIR "${DLL64}" "Plugin64Folder"
SectionEnd

Section "32-bit plug-in" Sec32
  !insertmacro InstallPlugin $Dir32 "${DLL32}" "Plugin32Folder"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${Sec64} "Brevander.dll for 64-bit hosts, into the VST 2 folder they scan (chosen on the next page)."
  !insertmacro MUI_DESCRIPTION_TEXT ${Sec32} "Brevander.dll for 32-bit hosts, into the VST 2 folder they scan (chosen on a page of its own)."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "-Uninstaller"
  StrCpy $0 "$PROGRAMFILES64\Brevander"
  SetOutPath $0
  WriteUninstaller "$0\uninstall.exe"
  SectionGetSize ${Sec64} $1
  SectionGetSize ${Sec32} $2
  ${IfNot} ${SectionIsSelected} ${Sec64}
    StrCpy $1 0
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${Sec32}
    StrCpy $2 0
  ${EndIf}
  IntOp $1 $1 + $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Brevander"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$0\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$0\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function .onInit
  ; /D= has set $INSTDIR already when given.
  ${If} ${RunningX64}
    ${If} $INSTDIR == ""
      !insertmacro PluginFolder 64 $INSTDIR "$COMMONFILES64"
    ${EndIf}
  ${Else}
    ; No 64-bit component on 32-bit Windows: hidden and never installed.
    SectionSetText ${Sec64} ""
    !insertmacro UnselectSection ${Sec64}
    !insertmacro SetSectionFlag ${Sec64} ${SF_RO}
    StrCpy $Dir32 $INSTDIR
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DIR32=" $1
  ${IfNot} ${Errors}
    StrCpy $Dir32 $1
  ${EndIf}
  ${If} $Dir32 == ""
    !insertmacro PluginFolder 32 $Dir32 "$COMMONFILES32"
  ${EndIf}
  ; A silent install has no page to ask again on (LeavePage32 does it otherwise).
  ${If} ${Silent}
  ${AndIf} ${SectionIsSelected} ${Sec64}
  ${AndIf} $INSTDIR == $Dir32
    SetErrorLevel 2
    Abort
  ${EndIf}
FunctionEnd

Function ComposeFinishText
  StrCpy $FinishText "Brevander ${VERSION} put:"
  ${If} ${SectionIsSelected} ${Sec64}
    StrCpy $FinishText "$FinishText$\r$\n$\r$\nthe 64-bit plug-in as $INSTDIR\Brevander.dll"
  ${EndIf}
  ${If} ${SectionIsSelected} ${Sec32}
    StrCpy $FinishText "$FinishText$\r$\n$\r$\nthe 32-bit plug-in as $Dir32\Brevander.dll"
  ${EndIf}
  StrCpy $FinishText "$FinishText$\r$\n$\r$\nLet your host rescan its plug-ins (or restart it) to find Brevander. Remove it from Apps and features."
FunctionEnd

Function SkipPage64
  ${IfNot} ${SectionIsSelected} ${Sec64}
    Abort
  ${EndIf}
FunctionEnd

Function SkipPage32
  ${IfNot} ${SectionIsSelected} ${Sec32}
    Abort
  ${EndIf}
FunctionEnd

; Both files are named Brevander.dll, so they can't share a folder.
Function LeavePage32
  ${If} ${SectionIsSelected} ${Sec64}
  ${AndIf} $INSTDIR == $Dir32
    MessageBox MB_ICONEXCLAMATION "The 32-bit and the 64-bit plug-in need different folders."
    Abort
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} ${RunningX64}
    SetRegView 64
    ${DisableX64FSRedirection}
  ${EndIf}
  Push "Plugin64Folder"
  Call un.RemoveRecorded
  Push "Plugin32Folder"
  Call un.RemoveRecorded
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
