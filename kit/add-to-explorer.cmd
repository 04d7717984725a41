@echo off
rem Adds "Plintor Rename..." to Explorer's context menu of files and folders,
rem for the current user only (no administrator rights), starting the
rem plintor-rename.exe that lies beside this script. Run it again after
rem moving the folder. With /q it does not wait for a key at the end.
rem
rem The folder's name may hold ampersands, parentheses, carets, percent signs
rem or exclamation marks. Delayed expansion stays off, so that no
rem exclamation mark is eaten, and the path is only ever expanded where cmd
rem sees it inside double quotes. reg.exe reads \" as a double quote, but
rem cmd sees a quote there too: each data argument starts with \^", a quote
rem that cmd passes on without counting it, so that the path falls inside
rem the quotes as cmd counts them. Such an argument ends inside quotes as cmd
rem counts them, so it comes last and any redirection comes first.
setlocal DisableDelayedExpansion
set "exe=%~dp0plintor-rename.exe"
set "key=HKCU\Software\Classes\AllFilesystemObjects\shell\PlintorRename"
set "wait=1"
if /i "%~1"=="/q" set "wait="
if not exist "%exe%" goto missing
>nul reg add "%key%" /ve /f /d "Plintor Rename..."
if errorlevel 1 goto failed
>nul reg add "%key%" /v Icon /f /d \^""%exe%\",0"
if errorlevel 1 goto failed
>nul reg add "%key%" /v MultiSelectModel /f /d Single
if errorlevel 1 goto failed
>nul reg add "%key%\command" /ve /f /d \^""%exe%\" \"%%1\""
if errorlevel 1 goto failed
echo Added Plintor Rename to the context menu of files and folders, starting "%exe%".
set "status=0"
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
