@echo off
rem Prints the network path behind the drive letter given as %1, and passes mapcue's exit
rem status on: 0 a network drive, 1 not one, 9 no usable drive letter.
setlocal
mapcue %1 >nul
rem "if errorlevel N" holds for status N or higher, so the highest is tested first.
if errorlevel 9 goto usage
if errorlevel 1 goto notmapped
rem for /f does not pass the status on, so it was tested on the direct call above.
for /f "delims=" %%p in ('mapcue %1') do set "SHARE=%%p"
echo %1 is %SHARE%
exit /b 0
:notmapped
echo %1 is not a network drive
exit /b 1
:usage
echo usage: share-path DRIVE_LETTER
exit /b 9
