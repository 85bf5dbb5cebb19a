# The fixed identifiers of the server. Everything that needs one (the interface
# description, the registry scripts, the C++ code) is generated from these lines.
set(TERVAGON_CLSID "3CB4DB0B-97F1-48D8-888E-EEA195ACB43B")   # ControlInstaller
set(TERVAGON_IID   "D3707C2A-1A9A-4601-8792-72A0395C19BA")   # IControlInstaller
set(TERVAGON_LIBID "B04E871D-42F3-499C-B1E5-896DA31768F3")   # TervagonLib
set(TERVAGON_APPID "C3DBC3A4-D47E-4AA0-A1FF-9FBBC723ED55")   # the server's AppID
# The installer packages, one per platform. An UpgradeCode never changes, so that
# a newer package finds and replaces an older one; each version's ProductCode and
# the packages' component identifiers are derived from it.
set(TERVAGON_UPGRADE_CODE_X86 "6860BF2F-2F35-4887-AB59-4C066DFFB717")
set(TERVAGON_UPGRADE_CODE_X64 "51F9017E-261E-4912-8069-71DDA949A5CF")
