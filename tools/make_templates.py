#!/usr/bin/env python3
"""Writes the stored SafeBoot templates: 105 XP, 106 Vista, 107 Windows 7,
108 Windows 8 and 8.1, 109 Windows 10 and later.

The entry lists are the source of truth (XP's and Vista's below; each later
Windows' own, read from real registry hives, in safeboot-lists/); the files in
resources/ are derived from them byte for byte. Run from the repository root;
with --check, only compares the stored files with what the lists give."""
import os
import sys

ROOT = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SafeBoot"
TAGS = {"S": "Service", "G": "Driver Group", "D": "Driver", "R": "FSFilter System Recovery"}
CLASSES = [
    ("{36FC9E60-C465-11CF-8056-444553540000}", "Universal Serial Bus controllers"),
    ("{4D36E965-E325-11CE-BFC1-08002BE10318}", "CD-ROM Drive"),
    ("{4D36E967-E325-11CE-BFC1-08002BE10318}", "DiskDrive"),
    ("{4D36E969-E325-11CE-BFC1-08002BE10318}", "Standard floppy disk controller"),
    ("{4D36E96A-E325-11CE-BFC1-08002BE10318}", "Hdc"),
    ("{4D36E96B-E325-11CE-BFC1-08002BE10318}", "Keyboard"),
    ("{4D36E96F-E325-11CE-BFC1-08002BE10318}", "Mouse"),
    ("{4D36E972-E325-11CE-BFC1-08002BE10318}", "Net"),
    ("{4D36E973-E325-11CE-BFC1-08002BE10318}", "NetClient"),
    ("{4D36E974-E325-11CE-BFC1-08002BE10318}", "NetService"),
    ("{4D36E975-E325-11CE-BFC1-08002BE10318}", "NetTrans"),
    ("{4D36E977-E325-11CE-BFC1-08002BE10318}", "PCMCIA Adapters"),
    ("{4D36E97B-E325-11CE-BFC1-08002BE10318}", "SCSIAdapter"),
    ("{4D36E97D-E325-11CE-BFC1-08002BE10318}", "System"),
    ("{4D36E980-E325-11CE-BFC1-08002BE10318}", "Floppy disk drive"),
    ("{50DD5230-BA8A-11D1-BF5D-0000F805F530}", "Smart card readers"),
    ("{533C5B84-EC70-11D2-9505-00C04F79DEAF}", "Volume shadow copy"),
    ("{6BDD1FC1-810F-11D0-BEC7-08002BE2092F}", "IEEE 1394 Bus host controllers"),
    ("{71A27CDD-812A-11D0-BEC7-08002BE2092F}", "Volume"),
    ("{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}", "Human Interface Devices"),
    ("{D48179BE-EC20-11D1-B6B8-00C04FA372A7}", "SBP2 IEEE 1394 Devices"),
    ("{D94EE5D8-D189-4994-83D2-F68D7D41B0E6}", "SecurityDevices"),
]

def entries(spec, classes):
    out = []
    for item in spec.split(","):
        name, tag = item.strip().rsplit(" ", 1)
        out.append((name, [("@", '"%s"' % TAGS[tag])]))
    out += [(name, [("@", '"%s"' % value)]) for name, value in (CLASSES[i - 1] for i in classes)]
    return out


def read_list(name):
    """A Windows' own list: (Minimal entries, Network entries), each [(key, [(value name, .reg data)])]."""
    sections = {"Minimal": [], "Network": []}
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "safeboot-lists", name), encoding="ascii") as f:
        assert next(f).split("\t")[:5] == ["section", "key", "value", "type", "data"], name
        for line in f:
            section, key, value, kind, data, _ = line.rstrip("\n").split("\t")
            if not section:
                assert (key, value, kind, data) == ("", "AlternateShell", "REG_SZ", "cmd.exe"), line
                continue
            data = '"%s"' % data if kind == "REG_SZ" else "dword:%08x" % int(data)
            assert kind in ("REG_SZ", "REG_DWORD") and '"' not in data[1:-1] and "\\" not in data, line
            items = sections[section]
            if not items or items[-1][0] != key:
                items.append((key, []))
            items[-1][1].append((value, data))
    return sections["Minimal"], sections["Network"]

XP_MIN = entries("AppMgmt S, Base G, Boot Bus Extender G, Boot file system G, CryptSvc S, DcomLaunch S, dmadmin S, dmboot.sys D, dmio.sys D, dmload.sys D, dmserver S, EventLog S, File system G, Filter G, HelpSvc S, Netlogon S, PCI Configuration G, PlugPlay S, PNP Filter G, Primary disk G, RpcSs S, SCSI Class G, sermouse.sys D, sr.sys R, SRService S, System Bus Extender G, vga.sys D, vgasave.sys D, WinMgmt S",
                 [1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 19, 20])
XP_NET = entries("AFD S, AppMgmt S, Base G, Boot Bus Extender G, Boot file system G, Browser S, CryptSvc S, DcomLaunch S, Dhcp S, dmadmin S, dmboot.sys D, dmio.sys D, dmload.sys D, dmserver S, DnsCache S, EventLog S, File system G, Filter G, HelpSvc S, ip6fw.sys D, ipnat.sys D, LanmanServer S, LanmanWorkstation S, LmHosts S, Messenger S, NDIS G, NDIS Wrapper G, Ndisuio S, NetBIOS S, NetBIOSGroup G, NetBT S, NetDDEGroup G, Netlogon S, NetMan S, Network G, NetworkProvider G, nm S, nm.sys D, NtLmSsp S, PCI Configuration G, PlugPlay S, PNP Filter G, PNP_TDI G, Primary disk G, rdpcdd.sys D, rdpdd.sys D, rdpwd.sys D, rdsessmgr S, RpcSs S, SCSI Class G, sermouse.sys D, SharedAccess S, sr.sys R, SRService S, Streams Drivers G, System Bus Extender G, Tcpip S, TDI G, tdpipe.sys D, tdtcp.sys D, termservice S, vga.sys D, vgasave.sys D, WinMgmt S, WZCSVC S",
                 list(range(1, 16)) + [19, 20])
V7_MIN = entries("AppInfo S, AppMgmt S, Base G, Boot Bus Extender G, Boot file system G, CryptSvc S, DcomLaunch S, EventLog S, File system G, Filter G, HelpSvc S, KeyIso S, Netlogon S, NTDS S, PCI Configuration G, PlugPlay S, PNP Filter G, Primary disk G, ProfSvc S, RpcSs S, sacsvr S, SCSI Class G, sermouse.sys D, SWPRV S, System Bus Extender G, TabletInputService S, TBS S, TrustedInstaller S, VDS S, vga.sys D, vgasave.sys D, volmgr.sys D, volmgrx.sys D, WinDefend S, WinMgmt S",
                 [1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 17, 18, 19, 20, 21, 22])
V7_NET = entries("AFD S, AppInfo S, AppMgmt S, Base G, BFE S, Boot Bus Extender G, Boot file system G, bowser D, Browser S, CryptSvc S, DcomLaunch S, dfsc D, Dhcp S, DnsCache S, Dot3Svc S, Eaphost S, EventLog S, File system G, Filter G, HelpSvc S, IKEEXT S, ipnat.sys D, KeyIso S, LanmanServer S, LanmanWorkstation S, LmHosts S, Messenger S, MPSDrv D, MPSSvc S, mrxsmb D, mrxsmb10 D, mrxsmb20 D, NativeWifiP S, NDIS G, NDIS Wrapper G, Ndisuio S, NetBIOS S, NetBIOSGroup G, NetBT S, NetDDEGroup G, Netlogon S, NetMan S, netprofm S, Network G, NetworkProvider G, NlaSvc S, Nsi S, nsiproxy.sys D, NTDS S, PCI Configuration G, PlugPlay S, PNP Filter G, PNP_TDI G, PolicyAgent S, Primary disk G, ProfSvc S, rdbss D, rdpencdd.sys D, rdsessmgr S, RpcSs S, sacsvr S, SCardSvr S, SCSI Class G, sermouse.sys D, SharedAccess S, Streams Drivers G, SWPRV S, System Bus Extender G, TabletInputService S, TBS S, Tcpip S, TDI G, TrustedInstaller S, VDS S, vga.sys D, vgasave.sys D, volmgr.sys D, volmgrx.sys D, WinDefend S, WinMgmt S, Wlansvc S",
                 list(range(1, 23)))

def text(minimal, network):
    lines = ["Windows Registry Editor Version 5.00", "",
             "[" + ROOT + "]", '"AlternateShell"="cmd.exe"', ""]
    for section, items in (("Minimal", minimal), ("Network", network)):
        lines += ["[" + ROOT + "\\" + section + "]", ""]
        assert items == sorted(items, key=lambda e: e[0].lower()), section
        for name, values in items:
            lines += ["[" + ROOT + "\\" + section + "\\" + name + "]"]
            lines += [(value if value == "@" else '"%s"' % value) + "=" + data for value, data in values] + [""]
    return "\r\n".join(lines)  # ends after the last empty line, without its CR LF

def main():
    for minimal, network, n_min, n_net in ((XP_MIN, XP_NET, 42, 82), (V7_MIN, V7_NET, 52, 103)):
        assert (len(minimal), len(network)) == (n_min, n_net), (len(minimal), len(network))
    t = text(XP_MIN, XP_NET)
    xp = t[: -len("\r\n")].encode("ascii") + b"\0\0"  # last value line, then two NULs
    v7 = b"\xff\xfe" + (text(V7_MIN, V7_NET) + "\r\n").encode("utf-16-le")
    # Single-byte, as the XP template: a third of the size in the program file.
    later = [(name, (text(*read_list(source)) + "\r\n").encode("ascii"), None)
             for name, source in (("safeboot_win7.reg", "windows7.tsv"), ("safeboot_win8.reg", "windows8.tsv"),
                                  ("safeboot_win10.reg", "windows10.tsv"))]
    for name, data, size in [("safeboot_xp.reg", xp, 13524), ("safeboot_vista7.reg", v7, 33688)] + later:
        print(name, len(data), "expected", size or "any")
        if size and len(data) != size:
            sys.exit("size mismatch")
        if "--check" in sys.argv:
            with open("resources/" + name, "rb") as f:
                if f.read() != data:
                    sys.exit(name + " differs from its entry lists")
            continue
        with open("resources/" + name, "wb") as f:
            f.write(data)

main()
