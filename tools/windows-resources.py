#!/usr/bin/env python3
"""Writes Tsumugiya.exe's resource script from the dialog layouts in res/.

The layouts are the one source of both front-ends: a change to a JSON file
changes the Qt window and the Win32 templates alike. Writes the script (UTF-8,
for windres -c 65001), the multi-size icon it names and the manifest. The
script also names the hotkeys' cues, which tools/cue-sounds.py writes into
the same folder.

usage: windows-resources.py RES_DIR VERSION OUT_DIR
"""

import json
import struct
import sys
import zlib
from pathlib import Path

ICON_ID = 128
ICON_SIZES = (16, 32, 48, 256)
SHIFTJIS_CHARSET = 128
RESOURCE_NAMES = {"IDR_MAINFRAME": ICON_ID}
# The hotkeys' cues by resource id (win/Resource.h), played with PlaySound.
CUES = {201: "cue-done.wav", 202: "cue-kept.wav", 203: "cue-failed.wav"}
DIALOGS = ("about.json", "main.json", "hotkeys.json")

# Window classes and the style each kind adds to the layout's own.
KINDS = {
    "button": ("Button", "BS_PUSHBUTTON"),
    "checkbox": ("Button", None),
    "groupbox": ("Button", "BS_GROUPBOX"),
    "edit": ("Edit", None),
    "hotkey": ("msctls_hotkey32", None),
    "listbox": ("ListBox", None),
    "static": ("Static", None),
}


def rc_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""').replace("\n", "\\n") + '"'


def split_styles(styles):
    """Window styles and extended styles, each joined for rc."""
    plain = [s for s in styles if not s.startswith("WS_EX_")]
    extended = [s for s in styles if s.startswith("WS_EX_")]
    return plain, " | ".join(extended) or "0"


def control_line(control):
    plain, extended = split_styles(control["styles"])
    box = f'{control["x"]}, {control["y"]}, {control["w"]}, {control["h"]}'
    if control["kind"] == "icon":
        # The caption names the icon resource.
        icon = RESOURCE_NAMES[control["caption"]]
        return f"    ICON {icon}, {control['id']}, {box}, SS_ICON, {extended}"
    window_class, kind_style = KINDS[control["kind"]]
    styles = ["WS_CHILD"] + ([kind_style] if kind_style else []) + plain
    # rc makes a CONTROL visible unless told otherwise.
    if "WS_VISIBLE" not in plain:
        styles.append("NOT WS_VISIBLE")
    return (f'    CONTROL {rc_string(control["caption"])}, {control["id"]}, "{window_class}", '
            f'{" | ".join(styles)}, {box}, {extended}')


def dialog(layout):
    plain, extended = split_styles(layout["styles"])
    font = layout["font"]
    lines = [
        f'{layout["id"]} DIALOGEX {layout["x"]}, {layout["y"]}, {layout["w"]}, {layout["h"]}',
        f'STYLE {" | ".join(plain)}',
        f"EXSTYLE {extended}",
        f'CAPTION {rc_string(layout["caption"])}',
        f'FONT {font["points"]}, {rc_string(font["face"])}, {font["weight"]}, '
        f'{int(font["italic"])}, {SHIFTJIS_CHARSET}',
        "BEGIN",
    ]
    lines += [control_line(c) for c in layout["controls"]]
    return lines + ["END", ""]


def png_pixels(data):
    """Width, height and rows of RGBA bytes of an 8-bit RGBA PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 6, 0):
                raise ValueError("only 8-bit RGBA, not interlaced")
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride, rows, previous = width * 4, [], bytearray(width * 4)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            corner = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                near = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[x] = (line[x] + near) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def dib_icon_image(png):
    """A 32-bit BGRA icon image with its AND mask, bottom row first."""
    width, height, rows = png_pixels(png)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(p for i in range(0, len(r), 4) for p in (r[i + 2], r[i + 1], r[i], r[i + 3]))
                      for r in reversed(rows))
    mask_stride = ((width + 31) // 32) * 4
    return header + colour + bytes(mask_stride * height)


def icon_file(icons):
    """An .ico: the small sizes as DIBs, which every loader reads; 256 as PNG."""
    images = []
    for size in ICON_SIZES:
        png = (icons / f"tsumugiya-{size}.png").read_bytes()
        images.append((size, png if size >= 256 else dib_icon_image(png)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(image for _, image in images)


MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Tsumugiya" version="{version}" processorArchitecture="amd64"/>
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security><requestedPrivileges>
      <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
    </requestedPrivileges></security>
  </trustInfo>
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2</dpiAwareness>
      <activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>
    </windowsSettings>
  </application>
</assembly>
"""


def version_info(version, named):
    numbers = version.split(".")
    commas = ", ".join(numbers)
    strings = dict(named, FileVersion=commas, ProductVersion=commas)
    lines = [
        "1 VERSIONINFO",
        f"FILEVERSION {','.join(numbers)}",
        f"PRODUCTVERSION {','.join(numbers)}",
        "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK",
        "FILEFLAGS 0",
        "FILEOS VOS__WINDOWS32",
        "FILETYPE VFT_APP",
        "FILESUBTYPE VFT2_UNKNOWN",
        "BEGIN",
        '    BLOCK "StringFileInfo"',
        "    BEGIN",
        '        BLOCK "041104b0"',
        "        BEGIN",
    ]
    lines += [f"            VALUE {rc_string(k)}, {rc_string(v)}" for k, v in sorted(strings.items())]
    lines += [
        "        END",
        "    END",
        '    BLOCK "VarFileInfo"',
        "    BEGIN",
        '        VALUE "Translation", 0x0411, 1200',
        "    END",
        "END",
        "",
    ]
    return lines


def main(res, version, out):
    res, out = Path(res), Path(out)
    out.mkdir(parents=True, exist_ok=True)
    (out / "Tsumugiya.ico").write_bytes(icon_file(res / "icons"))
    (out / "Tsumugiya.exe.manifest").write_text(MANIFEST.format(version=version), encoding="utf-8")
    strings = json.loads((res / "strings.json").read_text(encoding="utf-8"))
    named = json.loads((res / "version.json").read_text(encoding="utf-8"))
    lines = [
        "// Generated by tools/windows-resources.py from res/; edit the layouts there.",
        "#pragma code_page(65001)",
        "#include <windows.h>",
        "",
        f'{ICON_ID} ICON "Tsumugiya.ico"',
        'CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "Tsumugiya.exe.manifest"',
        "",
    ]
    lines += [f'{number} WAVE "{name}"' for number, name in CUES.items()]
    lines += [
        "",
        "STRINGTABLE",
        "BEGIN",
    ]
    lines += [f"    {key}, {rc_string(text)}" for key, text in strings.items()]
    lines += ["END", ""]
    for name in DIALOGS:
        lines += dialog(json.loads((res / "dialogs" / name).read_text(encoding="utf-8")))
    lines += version_info(version, named)
    (out / "Tsumugiya.rc").write_text("\n".join(lines), encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
