#!/usr/bin/env python3
"""Writes info.htm, regs.htm and compare.htm of each version folder (v1.00, v1.10) from the
tables below, which list the information items and registers the Tallybox reports in that
version.

The pages are committed; run this only to change them:  python3 pages/tools/make_pages.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
PAGES = os.path.join(HERE, "..")

# Information items: (name, caption, unit), grouped as the status page shows them.
INFO = [
    ("Identity", [("i100", "Serial number", ""), ("i101", "Model", ""),
                  ("i102", "Firmware", ""), ("i103", "Hardware revision", ""),
                  ("i104", "Built", "")]),
    ("Power and environment", [("i200", "Uptime", ""), ("i201", "Supply", "V"),
                               ("i202", "Battery", "%"), ("i203", "Board temperature", "&deg;C")]),
    ("Modem", [("i300", "State", ""), ("i301", "Signal quality", "of 31"),
               ("i302", "Calls today", "")]),
    ("Counting", [("i400", "Pulse total", "pulses"), ("i401", "Last alarm", "")]),
    ("Pages", [("i900", "Page version", "")]),
]

NUMBER, FLAG, CHOICE, TEXT = "number", "flag", "choice", "text"

# Registers: (name, caption, kind, detail, since). detail: (min, max) for numbers, the
# choices for choices, the longest length for text.
REGISTERS = [
    ("Counting", [
        ("r100", "Site number", NUMBER, (0, 9999), 100),
        ("r200", "Counting enabled", FLAG, None, 100),
        ("r300", "Input mode", CHOICE, ["pulse", "level", "quadrature"], 100),
        ("r301", "Counting edge", CHOICE, ["rising", "falling", "both"], 100),
        ("r101", "Counter preset", NUMBER, (0, 999999), 100),
        ("r102", "Pulse divider", NUMBER, (1, 1000), 100),
        ("r103", "Input debounce (ms)", NUMBER, (0, 500), 100),
    ]),
    ("Reporting", [
        ("r201", "Automatic reports", FLAG, None, 100),
        ("r104", "Report interval (min)", NUMBER, (5, 1440), 100),
        ("r304", "Report format", CHOICE, ["csv", "text", "compact"], 100),
        ("r307", "Report channel", CHOICE, ["modem", "tcp", "both"], 110),
        ("r401", "Report number", TEXT, 24, 100),
        ("r402", "Backup number", TEXT, 24, 100),
        ("r405", "Report server", TEXT, 64, 110),
        ("r105", "Call retries", NUMBER, (0, 9), 100),
        ("r106", "Retry delay (s)", NUMBER, (10, 3600), 100),
    ]),
    ("Alarms", [
        ("r107", "Alarm high threshold", NUMBER, (0, 999999), 100),
        ("r108", "Alarm low threshold", NUMBER, (0, 999999), 100),
        ("r202", "Dial on alarm", FLAG, None, 100),
        ("r305", "Alarm action", CHOICE, ["none", "log", "call", "log+call"], 100),
    ]),
    ("Modem", [
        ("r203", "Answer incoming calls", FLAG, None, 100),
        ("r109", "Rings before answer", NUMBER, (1, 15), 100),
        ("r110", "Idle hang-up (s)", NUMBER, (10, 600), 100),
        ("r111", "Keep-alive (s)", NUMBER, (0, 3600), 110),
        ("r302", "Modem speed", CHOICE, ["1200", "2400", "9600", "14400", "33600"], 100),
        ("r303", "Dial mode", CHOICE, ["tone", "pulse"], 100),
        ("r403", "Modem init string", TEXT, 40, 100),
        ("r206", "Modem trace", FLAG, None, 100),
    ]),
    ("Site", [
        ("r400", "Site name", TEXT, 32, 100),
        ("r404", "Contact", TEXT, 32, 100),
        ("r306", "Time zone", CHOICE, ["UTC-8", "UTC-5", "UTC", "UTC+1", "UTC+2", "UTC+8"], 100),
        ("r204", "Daylight saving", FLAG, None, 100),
        ("r205", "Keypad lock", FLAG, None, 100),
        ("r207", "Remote firmware update", FLAG, None, 110),
    ]),
]

HEAD = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="windows-1252">
<title>{title}</title>
<link rel="stylesheet" href="../tallybox.css">
</head>
<body>
<div class="top">
  <img src="../img/logo.png" alt="">
  <h1>{title}</h1>
  <span class="sub">{sub}pages {version}</span>
</div>
<main>
"""
TAIL = """</main>
</body>
</html>
"""


def widget(name, kind, detail):
    if kind == NUMBER:
        width = len(str(detail[1]))
        return (f'<input type="text" <!--#val {name}=""--> size="{width + 2}" '
                f'maxlength="{width + 1}">')
    if kind == TEXT:
        return f'<input type="text" <!--#val {name}=""--> size="28" maxlength="{detail}">'
    if kind == FLAG:
        # An unticked box sends nothing, so the hidden field before it sends "off".
        return (f'<input type="hidden" name="{name}" value="off">'
                f'<label><input type="checkbox" <!--#cb {name}="on"-->> on</label>')
    if len(detail) <= 3:
        return "".join(f'<label><input type="radio" <!--#cb {name}="{c}"-->> {c}</label>'
                       for c in detail)
    options = "".join(f'\n          <option <!--#op {name}="{c}"-->>{c}</option>' for c in detail)
    return f'<select name="{name}">{options}\n        </select>'


def hint(kind, detail):
    if kind == NUMBER:
        return f"{detail[0]}&ndash;{detail[1]}"
    if kind == TEXT:
        return f"up to {detail} characters"
    return ""


def info_page(version):
    out = [HEAD.format(title="Tallybox status", version=version,
                       sub='Unit <!--#txt i100=""--> &middot; ')]
    for group, items in INFO:
        out.append(f'  <div class="card">\n    <h2>{group}</h2>\n    <table>\n')
        out.append('      <colgroup><col style="width:60px"><col style="width:40%"><col></colgroup>\n')
        for name, caption, unit in items:
            value = f'<!--#txt {name}=""-->' + (f" {unit}" if unit else "")
            out.append(f'      <tr><td class="code">{name}</td><td>{caption}</td>'
                       f'<td <!--#hl {name}=""-->>{value}</td></tr>\n')
        out.append("    </table>\n  </div>\n")
    out.append(TAIL)
    return "".join(out)


def regs_page(version, number):
    out = [HEAD.format(title="Tallybox registers", version=version, sub="")]
    out.append('  <form method="post" action="program">\n')
    for group, registers in REGISTERS:
        rows = [r for r in registers if r[4] <= number]
        out.append(f'  <div class="card">\n    <h2>{group}</h2>\n    <table>\n')
        out.append('      <colgroup><col style="width:60px"><col style="width:34%"><col>'
                   '<col style="width:150px"></colgroup>\n')
        for name, caption, kind, detail, _ in rows:
            out.append(f'      <tr>\n        <td class="code">{name}</td>'
                       f'<td <!--#hl {name}=""-->>{caption}</td>\n'
                       f'        <td>{widget(name, kind, detail)}</td>'
                       f'<td class="hint">{hint(kind, detail)}</td>\n      </tr>\n')
        out.append("    </table>\n  </div>\n")
    out.append('  <div class="card actions">\n'
               '    <span class="legend"><span class="fill"></span>differs from the factory '
               'default</span>\n'
               '    <input type="reset" value="Undo changes">\n'
               '    <button type="submit" class="primary">Program</button>\n'
               '  </div>\n  </form>\n')
    out.append(TAIL)
    return "".join(out)


# The compare page: a device's registers against a preset. Its rows come from the program
# ("cmp" tags), the captions from regs.htm of the same folder.
COMPARE_PARTS = [("differ", "Values that differ"), ("device", "Only on the device"),
                 ("preset", "Only in the preset")]


def compare_page(version):
    out = [HEAD.format(title="Compare with preset", version=version, sub="")]
    out.append('  <form method="post" action="load">\n'
               '  <div class="card actions">\n'
               '    <span class="legend">Preset <b><!--#cmp preset=""--></b>: '
               '<!--#cmp summary=""--></span>\n'
               '    <button type="submit" class="primary" name="load" value="Load preset">'
               'Load preset</button>\n'
               '  </div>\n  </form>\n')
    for part, heading in COMPARE_PARTS:
        out.append(f'  <div class="card">\n    <h2>{heading} '
                   f'<span class="count"><!--#cmp count="{part}"--></span></h2>\n'
                   '    <table class="compare">\n')
        out.append('      <colgroup><col style="width:60px"><col style="width:34%">'
                   '<col style="width:30%"><col></colgroup>\n')
        out.append('      <tr><th colspan="2">Register</th><th>On the device</th>'
                   '<th>In the preset</th></tr>\n')
        out.append(f'      <!--#cmp rows="{part}"-->\n    </table>\n  </div>\n')
    out.append(TAIL)
    return "".join(out)


def main():
    for version, number in (("1.00", 100), ("1.10", 110)):
        folder = os.path.join(PAGES, "v" + version)
        os.makedirs(folder, exist_ok=True)
        for page, text in (("info.htm", info_page(version)), ("regs.htm", regs_page(version, number)),
                           ("compare.htm", compare_page(version))):
            with open(os.path.join(folder, page), "w", newline="\r\n") as f:
                f.write(text)


if __name__ == "__main__":
    main()
