#!/usr/bin/env python3
"""Writes data/demo/entries.reg: the made-up programs of the demo prefix (beside the real ones
that scripts/demo-prefix.sh installs), in all three places Windows keeps uninstall entries,
with usage records. Run it again after changing the table; the output is committed."""
import datetime
import os
import struct

# name, publisher, version, place, uninstall, icon, size in MB, times used, days since use,
# flags (s = system component, q = quiet uninstall, m = modify path, h = help and links)
PROGRAMS = [
    ("Aurora Photo Studio", "Aurora Imaging", "12.4.1", "M", "msi", r"C:\windows\system32\winemine.exe", 812, 41, 2, "qmh"),
    ("Brightline Office Suite", "Brightline Software", "2024.3", "M", "msi", r"C:\windows\system32\wordpad.exe", 2310, 120, 0, "mh"),
    ("Cobalt Code Editor", "Cobalt Labs", "3.8.0", "U", "msi", r"C:\windows\notepad.exe", 245, 88, 1, "h"),
    ("Driftwood Audio Player", "Driftwood", "5.0.2", "W", "msi", r"C:\windows\system32\winmm.dll,0", 58, 6, 30, ""),
    ("Evergreen Backup", "Evergreen Systems", "8.1", "M", "missing", "", 176, 2, 200, "q"),
    ("Fjord Maps", "Fjord Navigation AS", "2.2.7", "W", "msi", "", 1390, 0, -1, "h"),
    ("Granite PDF Reader", "Granite Documents", "11.0.5", "M", "msi", r"C:\windows\system32\write.exe", 310, 64, 3, "qh"),
    ("Harbor VPN Client", "Harbor Networks", "4.6.3", "M", "msi", r"C:\windows\system32\winecfg.exe", 92, 15, 9, "h"),
    ("Indigo Font Manager", "Indigo Type", "1.9", "U", "missing", "", 14, 1, 400, ""),
    ("Juniper Spreadsheet Viewer", "Juniper Apps", "7.3.2", "W", "msi", "", 66, 4, 60, ""),
    ("Kestrel Screen Recorder", "Kestrel Media", "6.0.0", "M", "msi", r"C:\windows\system32\taskmgr.exe", 205, 9, 14, "m"),
    ("Lumen Ebook Library", "Lumen Reading", "2.14", "U", "msi", r"C:\windows\system32\cmd.exe", 148, 33, 4, "h"),
    ("Meridian Calendar", "Meridian", "4.0", "W", "missing", r"C:\Program Files (x86)\Meridian\calendar.ico", 21, 0, -1, ""),
    ("Nimbus Cloud Sync", "Nimbus Storage Inc.", "19.2.8", "M", "msi", r"C:\windows\explorer.exe", 430, 210, 0, "qh"),
    ("Orchid Password Safe", "Orchid Security", "3.3.1", "M", "msi", r"C:\windows\system32\control.exe", 38, 150, 0, "h"),
    ("Pebble Archive Tool", "Pebble", "23.01", "W", "msi", "", 5, 22, 7, ""),
    ("Quartz Video Converter", "Quartz Media Works", "9.7", "M", "missing", "", 118, 3, 90, ""),
    ("Redwood Accounting 2025", "Redwood Finance", "25.0.3", "M", "msi", r"C:\windows\regedit.exe", 955, 47, 5, "mh"),
    ("Sable Chess", "Sable Games", "1.0.4", "U", "msi", r"C:\windows\system32\winemine.exe", 12, 11, 21, ""),
    ("Tundra Weather", "Tundra", "2.1", "W", "msi", "", 9, 0, -1, ""),
    ("Umber Runtime Components", "Umber Technologies", "14.38.33135", "M", "msi", "", 26, -1, -1, "s"),
    ("Umber Runtime Components (x86)", "Umber Technologies", "14.38.33135", "W", "msi", "", 22, -1, -1, "s"),
    ("Vista Graphics Driver Helper", "Vista Graphics", "551.23", "M", "missing", "", -1, -1, -1, "s"),
    ("Willow Mail", "Willow Communications", "115.4", "M", "msi", r"C:\windows\system32\wordpad.exe", 280, 95, 0, "qh"),
    ("Xenon Disk Analyzer", "Xenon Utilities", "2.5", "U", "msi", r"C:\windows\system32\taskmgr.exe", 7, 5, 45, ""),
    ("Yarrow Language Pack (Polish)", "Yarrow", "1.0", "W", "msi", "", 48, -1, -1, ""),
]

PLACES = {
    "M": (r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion", r"C:\Program Files"),
    "W": (r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion",
          r"C:\Program Files (x86)"),
    "U": (r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion",
          r"C:\users\Public\AppData\Local\Programs"),
}
NOW = datetime.datetime(2026, 12, 1, 10, 30)
EPOCH = datetime.datetime(1601, 1, 1)


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def hexbytes(data):
    return ",".join("%02x" % b for b in data)


def slow_info(size_mb, times, days, exe):
    size = -1 if size_mb < 0 else size_mb * 1024 * 1024 + 123456
    last = 0 if days < 0 else int(((NOW - datetime.timedelta(days=days)) - EPOCH).total_seconds() * 10**7)
    name = exe.encode("utf-16-le")[: 2 * 259]
    record = struct.pack("<IIqQi", 552, 1 if exe else 0, size, last, times) + name
    return record + b"\0" * (552 - len(record))


def main():
    out = ["REGEDIT4", ""]
    for i, (name, publisher, version, place, uninstall, icon, size, times, days, flags) in enumerate(PROGRAMS):
        root, programs = PLACES[place]
        guid = "{%08X-1E2D-4C3B-9A8F-%012X}" % (0x5A000000 + i * 7919, 0x0DE70000 + i)
        key = guid if uninstall == "msi" and i % 2 == 0 else name.replace(" ", "")
        folder = programs + "\\" + name.split(" (")[0]
        exe = folder + "\\" + name.split()[0].lower() + ".exe"
        out.append("[%s\\Uninstall\\%s]" % (root, key))
        values = [("DisplayName", name), ("Publisher", publisher), ("DisplayVersion", version)]
        if uninstall == "msi":
            values.append(("UninstallString", "MsiExec.exe /X" + guid))
        else:
            values.append(("UninstallString", '"%s\\uninstall.exe"' % folder))
        if "q" in flags:
            values.append(("QuietUninstallString", '"%s\\uninstall.exe" /S' % folder))
        if "m" in flags:
            values.append(("ModifyPath", "MsiExec.exe /I" + guid))
        if icon:
            values.append(("DisplayIcon", icon))
        values.append(("InstallLocation", folder))
        values.append(("InstallDate", (NOW - datetime.timedelta(days=30 + 11 * i)).strftime("%Y%m%d")))
        slug = publisher.split()[0].lower().strip(".")
        if "h" in flags:
            values += [("URLInfoAbout", "https://www.%s.example/" % slug),
                       ("URLUpdateInfo", "https://www.%s.example/updates" % slug),
                       ("HelpLink", "https://support.%s.example/" % slug),
                       ("Contact", "support@%s.example" % slug),
                       ("Readme", folder + "\\readme.txt")]
        if i % 3 == 0:
            values.append(("Comments", "%s %s for Windows" % (name, version)))
        for value, text in values:
            out.append("%s=%s" % (quote(value), quote(text)))
        if "s" in flags:
            out.append('"SystemComponent"=dword:00000001')
        if size >= 0:
            out.append('"EstimatedSize"=dword:%08x' % (size * 1024))
        out.append("")
        if times != -1 or size >= 0:
            out.append("[%s\\App Management\\ARPCache\\%s]" % (root, key))
            out.append('"SlowInfoCache"=hex:' + hexbytes(slow_info(size, times, days, exe if times > 0 else "")))
            out.append('"Changed"=dword:00000000')
            out.append("")
    path = os.path.join(os.path.dirname(__file__), "..", "data", "demo", "entries.reg")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(out) + "\n")


main()
