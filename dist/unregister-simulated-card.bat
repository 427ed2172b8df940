@echo off
rem Removes "Zumbrel Simulated Sound Card" again. Run as administrator.
regsvr32 /u "%~dp0zumbrel_sim_asio.dll"
