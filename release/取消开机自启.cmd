@echo off
rem 取消开机自启：删除 设置开机自启.cmd 为本文件夹建立的计划任务。
rem 请右键本文件，选“以管理员身份运行”。不用 call：call 会把路径里的 % 和 ^ 再解释一遍。
"%~dp0设置开机自启.cmd" /remove
