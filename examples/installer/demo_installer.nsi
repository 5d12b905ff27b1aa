; Installer of a demo scenery product that registers the product in the simulator's scenery
; library with sceneryreg, and whose uninstaller takes it out again. sceneryreg runs with
; --unattended: nothing waits for a key, and its exit code tells the installer what happened.
; Before it copies anything, the installer asks with --dry-run whether this is a first install
; or a re-install, and when the product is registered in another folder, shows that folder from
; LIST and stops.
;
; Build, after the windows preset has built sceneryreg.exe:
;   makensis demo_installer.nsi
;   makensis -DSCENERYREG_EXE=<sceneryreg.exe> -DOUTFILE=<setup.exe> demo_installer.nsi
; Silent install, and silent uninstall (which waits for its work only when given _?=):
;   setup.exe /S /SIM=<simulator folder> /D=<product folder>
;   <product folder>\uninstall.exe /S _?=<product folder>
; Both end with sceneryreg's exit code, so that a deployment tool sees what happened.

; sceneryreg.exe is a 64-bit program; its installer is one too.
Target amd64-unicode
!include FileFunc.nsh
!include LogicLib.nsh

; The release archive keeps sceneryreg.exe two folders up; a source tree has it in its build.
!ifndef SCENERYREG_EXE
  !if /FileExists "..\..\sceneryreg.exe"
    !define SCENERYREG_EXE "..\..\sceneryreg.exe"
  !else
    !define SCENERYREG_EXE "..\..\build\windows\src\main\sceneryreg.exe"
  !endif
!endif
!ifndef OUTFILE
  !define OUTFILE "demo_harbour_setup.exe"
!endif
!define PRODUCT "Demo Harbour Scenery"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Var SimFolder  ; the simulator folder, the one that holds scenery.cfg
Var Code       ; sceneryreg's exit code

Page directory
PageEx directory
  DirText "Choose the simulator folder, the one that holds scenery.cfg." "Simulator folder"
  DirVar $SimFolder
PageExEnd
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${GetParameters} $0
  ${GetOptions} $0 "/SIM=" $SimFolder
FunctionEnd

; Runs sceneryreg.exe at EXE with SWITCHES on the product in $INSTDIR with ACTION (ADD or
; REMOVE) and leaves its exit code in $Code; 2, the code of an aborted installer, when it could
; not be started at all.
!macro RunSceneryreg EXE SWITCHES ACTION
  ; On a Windows command line a "\" just before the closing quote would escape the quote.
  StrCpy $0 $SimFolder 1 -1
  ${If} $0 == "\"
    StrCpy $SimFolder $SimFolder -1
  ${EndIf}
  ClearErrors
  ExecWait '"${EXE}" ${SWITCHES} "$SimFolder" ${ACTION} "$INSTDIR" "${PRODUCT}"' $Code
  ${If} ${Errors}
    StrCpy $Code 2
  ${EndIf}
!macroend

; Field $R1 (counted from 1) of the tab-separated line $R0, without its line end, in $R2.
Function TabField
  StrCpy $R2 ""
  StrCpy $R3 1  ; the field at $R4
  StrCpy $R4 0
  ${Do}
    StrCpy $R5 $R0 1 $R4
    ${IfThen} $R5 == "" ${|} ${ExitDo} ${|}
    ${If} $R5 == "$\t"
      IntOp $R3 $R3 + 1
    ${ElseIf} $R3 == $R1
    ${AndIf} $R5 != "$\r"
    ${AndIf} $R5 != "$\n"
      StrCpy $R2 "$R2$R5"
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
FunctionEnd

; The folder of the area titled ${PRODUCT} in the library, from sceneryreg's LIST, in $R6;
; empty when the list could not be had.
Function RegisteredFolder
  StrCpy $R6 ""
  ExecWait '"$SYSDIR\cmd.exe" /c ""$PLUGINSDIR\sceneryreg.exe" "$SimFolder" LIST > "$PLUGINSDIR\list.txt""'
  ClearErrors
  FileOpen $R7 "$PLUGINSDIR\list.txt" r
  ${IfThen} ${Errors} ${|} Return ${|}
  ${Do}
    FileRead $R7 $R0
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    StrCpy $R1 4  ; area, layer, active, title, folder
    Call TabField
    ${If} $R2 == "${PRODUCT}"
      StrCpy $R1 5
      Call TabField
      StrCpy $R6 $R2
      ${ExitDo}
    ${EndIf}
  ${Loop}
  FileClose $R7
FunctionEnd

; Tells the user why the library was not changed, for a $Code other than 0 and 10.
Function ExplainCode
  ${Switch} $Code
    ${Case} 11
      MessageBox MB_OK|MB_ICONEXCLAMATION "Another scenery in the library uses $INSTDIR under another title. The library was not changed." /SD IDOK
      ${Break}
    ${Case} 12
      Call RegisteredFolder
      ${IfThen} $R6 == "" ${|} StrCpy $R6 "another folder" ${|}
      DetailPrint "${PRODUCT} is registered under $R6."
      MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} is in the scenery library already, installed in $R6. Uninstall it there first, or install into that folder." /SD IDOK
      ${Break}
    ${Case} 14
      MessageBox MB_OK|MB_ICONEXCLAMATION "The scenery library has no numbered area or layer to add to. Please add ${PRODUCT} with the simulator's own scenery library." /SD IDOK
      ${Break}
    ${Case} 15
      MessageBox MB_OK|MB_ICONEXCLAMATION "There is no scenery.cfg in $SimFolder. Please add ${PRODUCT} with the simulator's own scenery library." /SD IDOK
      ${Break}
    ${Case} 17
      MessageBox MB_OK|MB_ICONEXCLAMATION "The scenery library could not be read or saved, or another program held it. It was not changed; run this installer again later." /SD IDOK
      ${Break}
    ${Default}
      MessageBox MB_OK|MB_ICONSTOP "sceneryreg failed with code $Code. The scenery library was not changed." /SD IDOK
  ${EndSwitch}
FunctionEnd

Section "Install"
  ; Asked before anything is copied, with a copy of sceneryreg.exe in the installer's own
  ; temporary folder: a first install (0), a re-install (10), or one that cannot go ahead.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\sceneryreg.exe" "${SCENERYREG_EXE}"
  !insertmacro RunSceneryreg "$PLUGINSDIR\sceneryreg.exe" --dry-run ADD
  ${If} $Code == 0
    DetailPrint "First install of ${PRODUCT}."
  ${ElseIf} $Code == 10
    DetailPrint "${PRODUCT} is installed here already; its files are replaced."
  ${Else}
    Call ExplainCode
    SetErrorLevel $Code
    Quit
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=sceneryreg.exe" "${SCENERYREG_EXE}"
  File "demo_product\readme.txt"
  WriteINIStr "$INSTDIR\install.ini" "sceneryreg" "SimulatorFolder" "$SimFolder"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  !insertmacro RunSceneryreg "$INSTDIR\sceneryreg.exe" --unattended ADD
  ${If} $Code == 0
    DetailPrint "${PRODUCT} is now in the simulator's scenery library."
  ${ElseIf} $Code == 10
    DetailPrint "${PRODUCT} was in the simulator's scenery library already."
  ${Else}
    Call ExplainCode
  ${EndIf}
  SetErrorLevel $Code
SectionEnd

Section "Uninstall"
  ReadINIStr $SimFolder "$INSTDIR\install.ini" "sceneryreg" "SimulatorFolder"
  !insertmacro RunSceneryreg "$INSTDIR\sceneryreg.exe" --unattended REMOVE
  ${Switch} $Code
    ${Case} 0
      DetailPrint "${PRODUCT} is out of the simulator's scenery library."
      ${Break}
    ${Case} 13
      DetailPrint "${PRODUCT} was not in the simulator's scenery library."
      ${Break}
    ${Case} 14
      MessageBox MB_OK|MB_ICONEXCLAMATION "The area of ${PRODUCT} could not be cut out of the scenery library. Please remove it with the simulator's own scenery library." /SD IDOK
      ${Break}
    ${Case} 15
      MessageBox MB_OK|MB_ICONEXCLAMATION "There is no scenery.cfg in $SimFolder any more; nothing to take out." /SD IDOK
      ${Break}
    ${Case} 17
      MessageBox MB_OK|MB_ICONEXCLAMATION "The scenery library could not be read or saved, or another program held it. Please remove ${PRODUCT} with the simulator's own scenery library." /SD IDOK
      ${Break}
    ${Default}
      MessageBox MB_OK|MB_ICONSTOP "sceneryreg failed with code $Code. Please remove ${PRODUCT} with the simulator's own scenery library." /SD IDOK
  ${EndSwitch}

  Delete "$INSTDIR\sceneryreg.exe"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\install.ini"
  Delete "$INSTDIR\uninstall.exe"
  ; The folder stays while it holds scenery_beforeinstall.cfg, the library as it was before the
  ; first install: the user's to keep or delete.
  RMDir "$INSTDIR"
  SetErrorLevel $Code
SectionEnd
