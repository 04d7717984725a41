@echo off
rem Adds "Plintor Rename..." to Explorer's context menu of files and folders,
rem for the current user only (no administrator rights), starting the
rem plintor-rename.exe that lies beside this script. Run it again after
rem moving the folder. It also clears the mark of the web from that
rem plintor-rename.exe (and from no other file), so that Explorer does not
rem ask before every start. With /q it does not wait for a key at the end.
rem
rem The folder's name may hold ampersands, parentheses, carets or
rem exclamation marks, but not a percent sign: the shell reads one in the
rem entry's command as the start of its own markers, so such a folder is
rem refused. Programs are started by their full paths: cmd looks in the
rem current directory first, which may be this script's own folder.
rem Delayed expansion stays off, so that no
rem exclamation mark is eaten, and the path is only ever expanded where cmd
rem sees it inside double quotes. reg.exe reads \" as a double quote, but
rem cmd sees a quote there too: each data argument starts with \^", a quote
rem that cmd passes on without counting it, so that the path falls inside
rem the quotes as cmd counts them. Such an argument ends inside quotes as cmd
rem counts them, so it comes last and any redirection comes first.
rem PowerShell reads the path from the environment ($env:exe), so that it
rem never stands on a command line that cmd or PowerShell would parse.
rem PSModulePath is cleared for it: started from PowerShell 7 (directly or
rem through other programs), this script inherits PowerShell 7's module
rem folders, and Windows PowerShell would load the wrong modules and find
rem no Unblock-File; without the variable it uses its own.
setlocal DisableDelayedExpansion
set "exe=%~dp0plintor-rename.exe"
set "reg=%SystemRoot%\System32\reg.exe"
set "key=HKCU\Software\Classes\AllFilesystemObjects\shell\PlintorRename"
set "wait=1"
if /i "%~1"=="/q" set "wait="
for /f "tokens=1* delims=%%" %%a in ("%exe%") do if not "%%b"=="" goto percent
if not exist "%exe%" goto missing
>nul "%reg%" add "%key%" /ve /f /d "Plintor Rename..."
if errorlevel 1 goto failed
>nul "%reg%" add "%key%" /v Icon /f /d \^""%exe%\",0"
if errorlevel 1 goto failed
>nul "%reg%" add "%key%" /v MultiSelectModel /f /d Single
if errorlevel 1 goto failed
>nul "%reg%" add "%key%\command" /ve /f /d \^""%exe%\" \"%%1\""
if errorlevel 1 goto failed
echo Added Plintor Rename to the context menu of files and folders, starting "%exe%".
set "status=0"
set "PSModulePath="
"%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -Command "Unblock-File -LiteralPath $env:exe -ErrorAction Stop" >nul 2>&1
if errorlevel 1 echo If Windows asks before each start: right-click plintor-rename.exe, choose Properties, tick Unblock and click OK.
goto end
:percent
echo The folder's path holds a percent sign (%%), which the context menu's command cannot carry: move the folder to a path without one, then run this script again.
set "status=1"
goto end
:missing
echo plintor-rename.exe is not beside this script: unpack the whole zip, then run the script from there.
set "status=1"
goto end
:failed
echo Could not add Plintor Rename to the context menu.
set "status=1"
:end
if defined wait pause
exit /b %status%
