@echo off
rem Installs the enterprise edition from the command line.
start /wait setup.exe /inf INSTALL.INF /enterprise
