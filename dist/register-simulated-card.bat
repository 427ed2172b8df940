@echo off
rem Registers "Zumbrel Simulated Sound Card", an ASIO driver without hardware, so that
rem Zumbrel can play on a machine without an ASIO device. Run once, as administrator.
regsvr32 "%~dp0zumbrel_sim_asio.dll"
