@echo off
rem Removes "Plintor Rename..." from Explorer's context menu for the current
rem user: the one key that add-to-explorer.cmd made, and nothing else. With
rem /q it does not wait for a key at the end. reg.exe is started by its full
rem path: cmd looks in the current directory first.
setlocal DisableDelayedExpansion
set "reg=%SystemRoot%\System32\reg.exe"
set "key=HKCU\Software\Classes\AllFilesystemObjects\shell\PlintorRename"
set "wait=1"
if /i "%~1"=="/q" set "wait="
"%reg%" query "%key%" >nul 2>&1
if errorlevel 1 goto absent
"%reg%" delete "%key%" /f >nul
if errorlevel 1 goto failed
echo Removed Plintor Rename from the context menu of files and folders.
set "status=0"
goto end
:absent
echo Plintor Rename was not in the context menu: nothing to remove.
set "status=0"
goto end
:failed
echo Could not remove Plintor Rename from the context menu.
set "status=1"
:end
if defined wait pause
exit /b %status%
