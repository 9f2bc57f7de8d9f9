@echo off
rem 设置开机自启：本账户登录 30 秒后，以最高权限运行本文件夹里的 Sonafeed.exe /live，
rem 起始位置就是本文件夹。带参数 /remove 时取消（取消开机自启.cmd 就是这样调用本文件的）。
rem 请右键本文件，选“以管理员身份运行”。
setlocal EnableExtensions DisableDelayedExpansion
rem 路径只在引号里或转义后使用：文件夹名里的 & ( ) ^ ! 都不会被当作命令。
set "FOLDER=%~dp0"
set "WORKDIR=%FOLDER:~0,-1%"
if "%WORKDIR:~-1%"==":" set "WORKDIR=%FOLDER%"
rem 任务名由文件夹路径得出：每个安装文件夹有自己的任务，互不覆盖。\ 写成 _，路径里本来的
rem _ 写成 #u、# 写成 #h，所以 C:\a_b 和 C:\a\b 是两个任务。
set "TASK=%WORKDIR::=%"
set "TASK=%TASK:#=#h%"
set "TASK=%TASK:_=#u%"
set "TASK=Sonafeed_%TASK:\=_%"
if /i "%~1"=="/remove" goto remove

if not exist "%FOLDER%Sonafeed.exe" goto no_program
rem 路径里有本机代码页写不出的字符（例如韩文）时，写进任务定义的只会是“?”：先写一次读回来比较。
set "XML=%FOLDER%Sonafeed-autostart.xml"
> "%XML%" echo "%FOLDER%"
set "SPELLED="
< "%XML%" set /p "SPELLED="
if not "%SPELLED:"=%"=="%FOLDER%" goto not_spellable
set "ACCOUNT=%USERNAME%"
if defined USERDOMAIN set "ACCOUNT=%USERDOMAIN%\%USERNAME%"
rem XML 里的 & 写成 &amp;；不在引号里 echo 的值，^ 和 & 还要为 cmd 转义。
set "X_FOLDER=%FOLDER:&=&amp;%"
set "E_ACCOUNT=%ACCOUNT:&=&amp;%"
set "E_ACCOUNT=%E_ACCOUNT:^=^^%"
set "E_ACCOUNT=%E_ACCOUNT:&=^&%"
set "E_WORKDIR=%WORKDIR:&=&amp;%"
set "E_WORKDIR=%E_WORKDIR:^=^^%"
set "E_WORKDIR=%E_WORKDIR:&=^&%"
rem 任务定义留在本文件夹里（需要时可在任务计划程序里手动导入）。按系统的 ANSI 代码页写出、
rem 不声明编码：schtasks 按 ANSI 读入没有 BOM 的文件。
> "%XML%" echo ^<?xml version="1.0"?^>
>>"%XML%" echo ^<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task"^>
>>"%XML%" echo   ^<RegistrationInfo^>^<Description^>Sonafeed 开机自启：登录后自动开始直播^</Description^>^</RegistrationInfo^>
>>"%XML%" echo   ^<Triggers^>^<LogonTrigger^>^<UserId^>%E_ACCOUNT%^</UserId^>^<Delay^>PT30S^</Delay^>^</LogonTrigger^>^</Triggers^>
>>"%XML%" echo   ^<Principals^>^<Principal id="Sonafeed"^>
>>"%XML%" echo     ^<UserId^>%E_ACCOUNT%^</UserId^>^<LogonType^>InteractiveToken^</LogonType^>^<RunLevel^>HighestAvailable^</RunLevel^>
>>"%XML%" echo   ^</Principal^>^</Principals^>
>>"%XML%" echo   ^<Settings^>
>>"%XML%" echo     ^<MultipleInstancesPolicy^>IgnoreNew^</MultipleInstancesPolicy^>
>>"%XML%" echo     ^<DisallowStartIfOnBatteries^>false^</DisallowStartIfOnBatteries^>
>>"%XML%" echo     ^<StopIfGoingOnBatteries^>false^</StopIfGoingOnBatteries^>
>>"%XML%" echo     ^<ExecutionTimeLimit^>PT0S^</ExecutionTimeLimit^>
>>"%XML%" echo     ^<Priority^>4^</Priority^>
>>"%XML%" echo   ^</Settings^>
>>"%XML%" echo   ^<Actions Context="Sonafeed"^>^<Exec^>
>>"%XML%" echo     ^<Command^>"%X_FOLDER%Sonafeed.exe"^</Command^>
>>"%XML%" echo     ^<Arguments^>/live^</Arguments^>
>>"%XML%" echo     ^<WorkingDirectory^>%E_WORKDIR%^</WorkingDirectory^>
>>"%XML%" echo   ^</Exec^>^</Actions^>
>>"%XML%" echo ^</Task^>
schtasks /create /tn "%TASK%" /xml "%XML%" /f
if errorlevel 1 goto failed
echo.
echo 已设置开机自启，任务名 "%TASK%"：
echo 本账户登录 30 秒后以最高权限运行 Sonafeed.exe /live，起始位置 "%WORKDIR%"。
goto done

:remove
schtasks /delete /tn "%TASK%" /f
if errorlevel 1 goto failed
if exist "%FOLDER%Sonafeed-autostart.xml" del "%FOLDER%Sonafeed-autostart.xml"
echo.
echo 已取消开机自启，任务 "%TASK%" 已删除。
goto done

:not_spellable
del "%XML%"
echo 本文件夹的路径里有本机代码页不能表示的字符（例如韩文），计划任务无法指向这里。
echo 请把 Sonafeed 放到路径只含中英文的文件夹里，再运行本文件。
goto failed_pause

:no_program
echo 本文件夹里没有 Sonafeed.exe：请把本文件和 Sonafeed.exe 放在同一个文件夹里。
goto failed_pause

:failed
echo.
echo 没有成功。请右键本文件，选“以管理员身份运行”后再试。
echo Windows XP 上不能用本文件：请按“使用说明.txt”第十一节，在“启动”文件夹里建快捷方式。
:failed_pause
pause
exit /b 1

:done
pause
exit /b 0
