#!/usr/bin/env python3
"""The release package as an operator and another logger's author receive it.

Unzips dist/Vetrin-<version>-win32.zip into a fresh folder and checks: the checksum file, the
file list and the entries' fixed time stamps; that every program file is an i686 Windows binary
with no mingw runtime DLL and no build path inside, and the export names of each DLL (decorated
standard-call names included); that the kit builds its example for i686 and x86_64, and that the
x86_64 example, run under Wine against the 64-bit virtual QUENTRAX, keys "CQ TEST" at 25 WPM
(read back from the key timeline); and that the manual is the tree's, in the encoding notepad
reads, and names every keyboard command, menu item, option, settings key and macro the program
has (taken from the program's own sources where it has them as tables).

Every check runs and reports ok or FAIL; the exit status is 1 when any failed.
"""
import argparse
import hashlib
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import zipfile

EXPECTED_FILES = [
    "Vetrin.exe",
    "quentrax.dll",
    "Snarel.dll",
    "Vetrin.txt",
    "virtual/quentrax.dll",
    "sdk/README.txt",
    "sdk/include/quentrax.h",
    "sdk/lib/quentrax-i686.def",
    "sdk/lib/libquentrax-i686.dll.a",
    "sdk/lib/quentrax-x86_64.def",
    "sdk/lib/libquentrax-x86_64.dll.a",
    "sdk/examples/quentrax_demo.c",
]
RUNTIME_DLLS = re.compile(r"^(libstdc\+\+-6|libgcc_s_.*|libwinpthread-1)\.dll$", re.I)


class Report:
    def __init__(self):
        self.failures = 0

    def ok(self, text):
        print(f"ok: {text}")

    def fail(self, text):
        self.failures += 1
        print(f"FAIL: {text}")

    def check(self, condition, text, detail=""):
        if condition:
            self.ok(text)
        else:
            self.fail(text + (f": {detail}" if detail else ""))
        return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


# ---- the archive ----

def check_archive(report, archive, folder):
    checksum = archive.with_name(archive.name + ".sha256")
    if report.check(checksum.is_file(), f"{checksum.name} beside the archive"):
        digest = hashlib.sha256(archive.read_bytes()).hexdigest()
        report.check(checksum.read_text(encoding="ascii") == f"{digest}  {archive.name}\n",
                     "the checksum file holds the archive's SHA-256 in sha256sum's format")
    with zipfile.ZipFile(archive) as package:
        names = package.namelist()
        report.check(names == EXPECTED_FILES, "the archive holds exactly the package's files, in order",
                     f"{names}")
        times = {info.date_time for info in package.infolist()}
        report.check(len(times) == 1, "every entry carries the same (the commit's) time", f"{times}")
        report.check(all(info.create_system == 0 and info.external_attr == 0x20
                         for info in package.infolist()),
                     "no entry carries this machine's owner or permissions")
        report.check(package.testzip() is None, "every entry reads back with its CRC")
        package.extractall(folder)


# ---- the binaries ----

def objdump_private(objdump, path):
    return run([objdump, "-p", str(path)]).stdout


def export_names(dump):
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return []
    names = []
    for line in table[1].splitlines()[1:]:
        if not line.strip():
            break
        names.append(line.split()[-1])
    return names


def def_file_exports(path):
    """Export names of a .def file: the name after "==" where the entry renames, else the name."""
    names = []
    in_exports = False
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.split(";", 1)[0].strip()
        if not line:
            continue
        if line.upper() == "EXPORTS":
            in_exports = True
        elif in_exports:
            names.append(line.split("==")[-1].strip().split()[0])
    return names


def snarel_functions(source):
    """The hook library's exported functions, as its header declares them."""
    header = (source / "hook" / "Snarel.h").read_text(encoding="utf-8")
    return sorted(re.findall(r"SNAREL_API\s+[\w:<>,\s]+?\b(\w+)\s*\(", header))


def check_binaries(report, folder, source, build, objdump):
    build_paths = [str(source), str(build)]
    for name in ["Vetrin.exe", "quentrax.dll", "Snarel.dll", "virtual/quentrax.dll"]:
        path = folder / name
        if not path.is_file():
            continue
        header = run([objdump, "-f", str(path)]).stdout
        report.check("file format pei-i386" in header, f"{name} is an i686 Windows binary",
                     header.strip())
        dump = objdump_private(objdump, path)
        dlls = re.findall(r"DLL Name: (\S+)", dump)
        report.check(not any(RUNTIME_DLLS.match(d) for d in dlls),
                     f"{name} needs no mingw runtime DLL", " ".join(dlls))
        data = path.read_bytes()
        report.check(not any(p.encode() in data for p in build_paths),
                     f"{name} holds no path of the source or build folder")
        if name == "Vetrin.exe":
            report.check(re.search(r"^Subsystem\s+0+2\s", dump, re.M) is not None,
                         "Vetrin.exe is a windowed (GUI subsystem) program")
        names = export_names(dump)
        report.check(names == sorted(names), f"{name} lists its exports in byte order")
        if name.endswith("quentrax.dll"):
            expected = sorted(def_file_exports(source / "interface" / "quentrax-i686.def"))
            report.check(sorted(names) == expected and len(expected) == 24,
                         f"{name} exports the 24 C functions under the names of quentrax-i686.def",
                         f"exports {names}, expected {expected}")
        elif name == "Snarel.dll":
            demangled = run(["c++filt"], input="\n".join(names)).stdout.split("\n")
            functions = sorted(re.sub(r"^omvar::Snarel::(\w+)\(.*$", r"\1", d)
                               for d in demangled if d.startswith("omvar::Snarel::"))
            expected = snarel_functions(source)
            report.check(functions == expected and len(names) == len(expected),
                         "Snarel.dll exports the hook functions its header declares",
                         f"exports {names}, expected {expected}")


# ---- the kit and its example ----

def check_kit(report, folder, source):
    kit = folder / "sdk"
    same = {
        "README.txt": source / "sdk" / "README.txt",
        "include/quentrax.h": source / "interface" / "include" / "quentrax.h",
        "lib/quentrax-i686.def": source / "interface" / "quentrax-i686.def",
        "lib/quentrax-x86_64.def": source / "interface" / "quentrax-x86_64.def",
        "examples/quentrax_demo.c": source / "sdk" / "examples" / "quentrax_demo.c",
    }
    for name, original in same.items():
        report.check((kit / name).read_bytes() == original.read_bytes(),
                     f"sdk/{name} is the tree's {original.relative_to(source)}")
    for arch in ("i686", "x86_64"):
        library = (kit / "lib" / f"libquentrax-{arch}.dll.a").read_bytes()
        report.check(library.startswith(b"!<arch>\n"), f"sdk/lib/libquentrax-{arch}.dll.a is an archive")
        # Member names are made from the path the library was written to.
        report.check(not any(needle in library for needle in (source_path_key(source), b"_build_")),
                     f"sdk/lib/libquentrax-{arch}.dll.a names no build folder in its members")


def source_path_key(source):
    """The source folder as an import library's member names spell it ("/a/b" as "_a_b")."""
    return re.sub(r"[^A-Za-z0-9]", "_", str(source.resolve())).encode()


def build_example(report, kit, compiler, arch, output):
    command = [compiler, "-o", str(output), "examples/quentrax_demo.c", "-Iinclude",
               f"lib/libquentrax-{arch}.dll.a"]
    result = run(command, cwd=kit)
    report.check(result.returncode == 0 and output.is_file(),
                 f"the example builds from the kit for {arch} with the command README.txt gives",
                 result.stderr.strip())
    return result.returncode == 0


def windows_path(path):
    return "Z:" + str(path.resolve()).replace("/", "\\")


def check_example_run(report, folder, build, wine_run, compiler64, compiler32):
    kit = folder / "sdk"
    work = folder.parent / "example"
    work.mkdir()
    build_example(report, kit, compiler32, "i686", work / "quentrax_demo32.exe")
    if not build_example(report, kit, compiler64, "x86_64", work / "quentrax_demo.exe"):
        return
    virtual = build / "bin" / "virtual" / "quentrax.dll"
    if not report.check(virtual.is_file(), "the 64-bit virtual QUENTRAX is built", str(virtual)):
        return
    shutil.copy(virtual, work / "quentrax.dll")
    timeline = work / "timeline.txt"
    environment = dict(os.environ,
                       QUENTRAX_VIRTUAL_TIMELINE=windows_path(timeline),
                       QUENTRAX_VIRTUAL_SOUND="0", QUENTRAX_VIRTUAL_PANEL="0")
    environment.pop("QUENTRAX_VIRTUAL_FIRMWARE", None)
    result = run(wine_run + [str(work / "quentrax_demo.exe")], env=environment, cwd=work,
                 timeout=240)
    report.check(result.returncode == 0 and "The buffer is empty." in result.stdout,
                 "the example runs under Wine against the virtual QUENTRAX to its end",
                 f"exit {result.returncode}\n{result.stdout}{result.stderr}")
    if not report.check(timeline.is_file(), "the virtual QUENTRAX wrote the key timeline"):
        return
    decoder = build / "bin" / "timeline_decode.exe"
    decoded = run(wine_run + [str(decoder), "-"], input=timeline.read_text(encoding="utf-8"),
                  timeout=120)
    text = re.search(r"^text: (.*)$", decoded.stdout, re.M)
    speed = re.search(r"^speed: ([0-9.]+) WPM", decoded.stdout, re.M)
    report.check(text is not None and text.group(1).strip() == "CQ TEST",
                 "the interface keyed \"CQ TEST\"", decoded.stdout + decoded.stderr)
    report.check(speed is not None and abs(float(speed.group(1)) - 25) <= 1.5,
                 "it keyed at 25 WPM", speed.group(0) if speed else decoded.stdout)


# ---- the manual ----

def read_source(source, relative):
    return (source / relative).read_text(encoding="utf-8")


def function_body(text, signature):
    start = text.index(signature)
    depth = 0
    for i in range(text.index("{", start), len(text)):
        depth += {"{": 1, "}": -1}.get(text[i], 0)
        if depth == 0:
            return text[start:i + 1]
    raise ValueError(signature)


def literals(text):
    return re.findall(r'L?"((?:\\.|[^"\\])*)"', text)


def chapter(manual, title):
    """The text of the chapter whose heading holds the title, up to the next heading."""
    match = re.search(r"^■ [0-9]+\. [^\n]*" + re.escape(title) + r"[^\n]*$", manual, re.M)
    if not match:
        return ""
    rest = manual[match.end():]
    following = re.search(r"^■ ", rest, re.M)
    return rest[:following.start()] if following else rest


def ui_label(text):
    """A resource text as the manual names it: no mnemonic, no "...", no shortcut column."""
    text = text.split("\\t")[0]
    text = re.sub(r"\(&[^)]*\)", "", text).replace("&", "")
    return text.removesuffix("...").strip()


KEY_NAMES = {"VK_BACK": "BackSpace", "VK_DELETE": "Delete", "VK_INSERT": "Insert", "BkSp": "BackSpace"}
MODIFIERS = {"CONTROL": "Ctrl", "SHIFT": "Shift", "ALT": "Alt"}


def resource_facts(source):
    """(what, text) pairs from the resource script: menus, shortcuts, dialog texts, captions."""
    rc = read_source(source, "app/ui/res/Vetrin.rc")
    facts = []
    menu = rc[rc.index("IDR_MAINFRAME MENU"):rc.index("IDR_MAINFRAME ACCELERATORS")]
    for text in re.findall(r'(?:MENUITEM|POPUP)\s+"([^"]+)"', menu):
        facts.append(("menu item", ui_label(text)))
        if "\\t" in text:
            keys = text.split("\\t")[1].split("+")
            facts.append(("menu shortcut", "+".join(KEY_NAMES.get(k, k) for k in keys)))
    accelerators = rc[rc.index("IDR_MAINFRAME ACCELERATORS"):]
    accelerators = accelerators[:accelerators.index("END")]
    for key, flags in re.findall(r'^\s*("?\w+"?),\s*\w+,\s*VIRTKEY((?:,\s*\w+)*)', accelerators,
                                 re.M):
        modifiers = [MODIFIERS[f.strip()] for f in flags.split(",") if f.strip() in MODIFIERS]
        facts.append(("accelerator", "+".join(modifiers + [KEY_NAMES.get(key, key.strip('"'))])))
    for name, body in re.findall(r"^(\w+) DIALOGEX(.*?)^END", rc, re.M | re.S):
        if name == "IDD_MESSAGE_BAR":
            continue  # its buttons show the messages, not their resource texts
        for caption in re.findall(r'^CAPTION "([^"]+)"', body, re.M):
            facts.append((f"{name} caption", re.sub(r"^Fn\d\d ", "", caption)))
        for text in re.findall(r'^\s*(?:CONTROL|LTEXT|CTEXT|GROUPBOX|PUSHBUTTON|DEFPUSHBUTTON)\s+"([^"]*)"',
                               body, re.M):
            label = ui_label(text)
            # Single characters and the "F 1" … "F1 2" labels of the message fields say
            # nothing on their own.
            if len(label) < 2 or re.fullmatch(r"F\s?\d+", label):
                continue
            facts.append((f"{name} text", label))
    for key in ["IDS_OPTION_SHEET_CAPTION", "ID_INDICATOR_KANA", "ID_INDICATOR_CAPS",
                "ID_INDICATOR_NUM", "ID_INDICATOR_SCRL"]:
        facts.append(("string " + key, re.search(key + r'\s+"([^"]+)"', rc).group(1)))
    return facts


def settings_facts(source):
    """Sections and "key=default" lines of the settings file, from the code that reads it."""
    code = read_source(source, "app/core/AppSettings.cpp")
    facts = []
    for kind, section, key, default in re.findall(
            r'io\.(text|integer|flag|weight)\(L"([^"]+)", L"([^"]+)", s\.\w+, ([^)]*)\);', code):
        if kind == "flag":
            default = {"true": "1", "false": "0"}[default]
        elif kind in ("text", "weight"):
            default = literals(default)[0]
        facts.append(("settings section", f"[{section}]"))
        facts.append(("settings key", f"{key}={default}"))
    banks = re.search(r"kBankSection\[kBankCount\] = \{([^}]*)\}", code).group(1)
    for bank in literals(banks):
        facts.append(("settings section", f"[{bank}]"))
    messages = re.search(r"kDefaultMessage\[kBankCount\]\[kFnKeyCount\] = \{(.*?)\n\};", code, re.S)
    for message in literals(messages.group(1)):
        facts.append(("default message", message))
    facts += [("message key", "Fn01"), ("message key", "Fn12")]
    return facts


def macro_facts(source):
    code = read_source(source, "app/core/MacroExpansion.cpp")
    facts = []
    for table in ["kImmediateMacros", "kDeferredMacros", "kProsigns"]:
        values = re.search(table + r"\s*=\s*\{(.*?)\};", code, re.S).group(1)
        facts += [(table, value) for value in literals(values)]
    facts += [("greeting", g) for g in sorted(set(re.findall(r'L"(G[MAE])"', code)))]
    facts += [("empty report", r) for r in re.findall(r'L"(\d{3})"', code)]
    return facts


def option_facts(source):
    facts = []
    page2 = read_source(source, "app/ui/dialogs/AppOptionDialogPage2.cpp")
    tones = re.search(r"kToneFrequencies\[\] = \{(.*?)\};", page2, re.S).group(1)
    facts += [("side-tone frequency", hz) for hz in literals(tones)]
    data = read_source(source, "app/ui/dialogs/OptionDialogData.h")
    bounds = dict(re.findall(r"k(\w+?(?:Min|Max)) = ([0-9.]+);", data))
    for name in sorted({n[:-3] for n in bounds}):
        low, high = (f"{float(bounds[name + e]):g}" for e in ("Min", "Max"))
        facts.append((f"range of {name}", f"{low}～{high}"))
    sendbuffer = read_source(source, "app/core/AppModelSendBuffer.cpp")
    modes = re.search(r"kCwModes = \{(.*?)\};", sendbuffer, re.S).group(1)
    facts += [("CW mode", f"「{m}」") for m in literals(modes)]
    frame = read_source(source, "app/ui/CMainFrame.cpp")
    facts += [("main window text", t) for t in literals(frame)
              if t.startswith(("QUENTRAX", "Bank: ", "WPM: "))]
    virtual = read_source(source, "sim/quentrax/virtual/VirtualSettings.cpp")
    facts += [("virtual QUENTRAX variable", v)
              for v in sorted(set(re.findall(r'L"(QUENTRAX_VIRTUAL_\w+)"', virtual)))]
    return facts


# Texts and figures the manual states that the program holds in no table: each with the
# sources that must hold it, so that the manual cannot state what the program does not do.
STATED_FACTS = [
    ("QUENTRAXに接続できません。デバイスがUSB接続されているか確認してください。", "app", None),
    ("Vetrin デバック情報", "app", None),
    ("Vetrin.ini", "app/core/SettingsFilePath.cpp", None),
    ("Vetrin.log", "common/Logging.h", None),
    ("「Vetrin」が起動しました", "common/Logging.cpp", None),
    ("QUENTRAXが接続されていません", "app/core", None),
    ("QUENTRAXが再接続されました", "app/core", None),
    ("デバイスが切断されました", "app/core", None),
    ("モードがCW以外だったので送信バッファに追加できません", "app/core", None),
    ("HAMLOGフックのインストール", "app/core", None),
    ("ＬＯＧ-[Ａ]", "app/core/HamlogWindowMap.cpp", None),
    ("ＬＯＧ-[Ｆ]", "app/core/HamlogWindowMap.cpp", None),
    ("データの表示＆修正", "app/core/HamlogWindowMap.cpp", None),
    ("仮想QUENTRAX:", "sim/quentrax/virtual", None),
    ("Virtual QUENTRAX", "sim/quentrax/virtual/ControlPanel.cpp", None),
    ("50 MB", "common/Logging.h", "52428800"),
    ("約 2 秒", "app/core/AppModel.h", "reconnect{2000}"),
    ("300 ピクセル", "app/ui/CMainFrame.cpp", "kMinimumWidth = 300"),
    ("7 として扱います", "app/core/AppModelWorker.cpp", "kMaxCodesPerPacket = 7"),
    ("「(」「)」「/」", "app/core/MacroExpansion.cpp", 'L"/", L""'),
    ("月/日-時:分", "app/core/AppModelSendBuffer.cpp", "[%m/%d-%H:%M]"),
    ("メモ帳", "app/ui/dialogs/Manual.cpp", "notepad.exe"),
]


def source_holds(source, where, text):
    paths = [source / where] if (source / where).is_file() else sorted((source / where).rglob("*"))
    for path in paths:
        if path.is_file() and path.suffix in (".cpp", ".h", ".rc"):
            if text in path.read_text(encoding="utf-8", errors="replace"):
                return True
    return False


# Keys of the main window and of HAMLOG's log window: for each key the code tests (a virtual-key
# name or a character), the names under which the manual's chapter must list it. A key the code
# tests that is not here fails the check, so a new command cannot go undocumented.
MAIN_WINDOW_KEYS = {
    "VK_F1": ["F1～F12"], "VK_F12": ["F1～F12", "Ctrl+F12"], "VK_F8": ["Ctrl+F8"],
    "VK_F10": ["F10"], "VK_SHIFT": ["Shift+F1～F12"], "VK_CONTROL": [], "VK_MENU": [],
    "VK_PRIOR": ["PageUp"], "VK_NEXT": ["PageDown"], "VK_BACK": ["BackSpace"],
    "VK_LEFT": ["←"], "VK_RIGHT": ["→"], "VK_RETURN": ["Enter"], "VK_ESCAPE": ["Esc"],
    "W": ["Ctrl+W"], "Z": ["Ctrl+Z"], "K": ["Alt+K"], "F": ["Shift+F"], "Y": ["Shift+Y"],
    "U": ["Shift+U"], "\\t": ["Tab"], "WM_RBUTTONUP": ["右クリック"],
}
HAMLOG_KEYS = {
    "VK_F1": ["F1～F12"], "VK_F12": ["F1～F12"], "VK_ESCAPE": ["Esc(Call 欄で)"],
    "Z": ["Ctrl+Z"], "Y": ["Ctrl+Shift+Y"], "VK_PRIOR": ["Ctrl+PageUp"],
    "U": ["Ctrl+Shift+U"], "VK_NEXT": ["Ctrl+PageDown"], "K": ["Alt+K"], "F": ["Ctrl+Shift+F"],
    "VK_TAB": ["Tab(Call 欄で)"], "VK_RETURN": ["Enter"],  # the Enter that the Tab injects
}


def keys_tested(code):
    tokens = set(re.findall(r"\b(VK_\w+|WM_RBUTTONUP)\b", code))
    tokens |= {c if c.startswith("\\") else c.upper()
               for c in re.findall(r"L?'(\\.|[^'\\])'", code)}
    return tokens


def check_keys(report, manual, source, relative, signature, table, title):
    body = function_body(read_source(source, relative), signature)
    text = chapter(manual, title)
    report.check(bool(text), f"Vetrin.txt has the chapter \"{title}\"")
    for token in sorted(keys_tested(body)):
        if token not in table:
            report.fail(f"{relative} tests the key {token}, which the test's key list lacks: "
                        "describe it in Vetrin.txt and add it to the list")
            continue
        missing = [name for name in table[token] if name not in text]
        report.check(not missing, f"chapter \"{title}\" lists {token} as {table[token]}",
                     f"missing {missing}")


def check_manual(report, folder, source):
    manual_file = folder / "Vetrin.txt"
    data = manual_file.read_bytes()
    report.check(data == (source / "app" / "Vetrin.txt").read_bytes(),
                 "Vetrin.txt is the tree's app/Vetrin.txt")
    report.check(data.startswith(b"\xef\xbb\xbf"), "Vetrin.txt starts with the UTF-8 byte-order mark")
    report.check(b"\n" not in data.replace(b"\r\n", b""), "Vetrin.txt has CR LF line ends only")
    try:
        manual = data[3:].decode("utf-8").replace("\r\n", "\n")
    except UnicodeDecodeError as error:
        report.fail(f"Vetrin.txt is not UTF-8: {error}")
        return

    facts = (resource_facts(source) + settings_facts(source) + macro_facts(source) +
             option_facts(source))
    missing = [f"{what}: {text}" for what, text in facts if text not in manual]
    report.check(not missing, f"Vetrin.txt names all {len(facts)} texts taken from the program's "
                 "tables (menus, shortcuts, dialogs, settings keys and defaults, macros, ranges)",
                 "\n  " + "\n  ".join(missing))

    for text, where, evidence in STATED_FACTS:
        held = source_holds(source, where, evidence or text)
        report.check(text in manual and held, f"Vetrin.txt states \"{text}\", as {where} has it",
                     "not in Vetrin.txt" if text not in manual else
                     f"{where} does not hold \"{evidence or text}\"")

    check_keys(report, manual, source, "app/ui/CMainFrame.cpp",
               "bool CMainFrame::translateKey(", MAIN_WINDOW_KEYS, "メインウィンドウのキー操作")
    check_keys(report, manual, source, "app/core/HAMLOGTracker.cpp",
               "void HAMLOGTracker::State::applyKeyRules(", HAMLOG_KEYS,
               "HAMLOG のログ入力ウィンドウでのキー操作")
    macros = chapter(manual, "マクロと略符号")
    for what, text in macro_facts(source):
        report.check(text in macros, f"chapter \"マクロと略符号\" explains {text}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--archive", type=pathlib.Path, required=True)
    parser.add_argument("--source", type=pathlib.Path, required=True)
    parser.add_argument("--build", type=pathlib.Path, required=True, help="the win64 build tree")
    parser.add_argument("--objdump32", required=True)
    parser.add_argument("--cc64", required=True)
    parser.add_argument("--cc32", required=True)
    parser.add_argument("--wine-run", required=True, help="command that runs an x86_64 program")
    args = parser.parse_args()
    report = Report()
    if not args.archive.is_file():
        report.fail(f"{args.archive} is missing: make it with scripts/package (which needs the "
                    "program, build/win32/bin/Vetrin.exe)")
        return 1
    with tempfile.TemporaryDirectory(prefix="vetrin-package-") as work:
        folder = pathlib.Path(work) / "unzipped"
        folder.mkdir()
        check_archive(report, args.archive, folder)
        check_binaries(report, folder, args.source.resolve(), args.build.resolve(), args.objdump32)
        check_kit(report, folder, args.source)
        check_example_run(report, folder, args.build, shlex.split(args.wine_run), args.cc64,
                          args.cc32)
        check_manual(report, folder, args.source)
    print(f"{report.failures} check(s) failed" if report.failures else "all checks passed")
    return 1 if report.failures else 0


if __name__ == "__main__":
    sys.exit(main())
