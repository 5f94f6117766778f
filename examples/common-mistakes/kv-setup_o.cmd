@echo off
rem Installs the sample suite from the command line.
set BARCODE=B8DF
set MARKET=de-de
start /wait setup.exe /inf INSTALL.INF /barcode %BARCODE% /market %MARKET%
