#!/usr/bin/env python3
# A stand-in for SteamCMD: prints what SteamCMD prints, writes a server folder's files (a server program
# there already stays), and does what
# the test asks through its environment. It never reaches the network.
#   STEAMCMD_STATE    a folder of the test's: the arguments of each run (args.txt, one run a line, the
#                     words separated by tabs), the runs counted, and who runs now
#   STEAMCMD_FAIL     so many runs end with STEAMCMD_FAIL_STATE (default 0x402) before one succeeds
#   STEAMCMD_ERROR    every run fails with "ERROR! Failed to install app '90' (STEAMCMD_ERROR)"
#   STEAMCMD_NO_GAME  success is printed, but tfc/liblist.gam is not written
#   STEAMCMD_STEP     seconds between progress lines (0 unless given)
#   STEAMCMD_GATE     after the first progress line, waits until this file exists
#   STEAMCMD_HOLD     prints its progress and then never ends; "ignore-term" ignores SIGTERM, and a
#                     child of its own in its group holds the terminal too
#   STEAMCMD_BUILD    the build installed (10211); STEAMCMD_STEAM_BUILD the one Steam reports
#   STEAMCMD_SELF_UPDATE  prints SteamCMD's own update first
import io, os, signal, sys, time

state = os.environ.get("STEAMCMD_STATE", "")
args = sys.argv[1:]

raw = io.FileIO(1, "wb", closefd=False)
# As SteamCMD: without a terminal its output arrives in 4 KiB blocks.
tty = os.isatty(1)
out = io.BufferedWriter(raw, buffer_size=4096)

def say(line):
    out.write((line + "\n").encode())
    if tty:
        out.flush()

def run_count():
    path = os.path.join(state, "runs")
    count = int(open(path).read()) if os.path.exists(path) else 0
    count += 1
    open(path, "w").write(str(count))
    return count

def alive(pid):
    # A stand-in ended by a signal leaves its mark behind; only a living one counts.
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False

def mark_running():
    # Two stand-ins running at once for one account would be the loop SteamCMD falls into.
    here = os.path.join(state, "running")
    if os.path.exists(here) and alive(int(open(here).read() or 0)):
        open(os.path.join(state, "overlap"), "a").write(str(os.getpid()) + "\n")
    open(here, "w").write(str(os.getpid()))
    return here

def write(folder, name, text, mode=0o644):
    path = os.path.join(folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)

def app_info(build):
    legacy = "8684"
    block = ('"90"\n{\n\t"common"\n\t{\n\t\t"name"\t\t"Half-Life Dedicated Server"\n\t}\n\t"depots"\n\t{\n'
             '\t\t"branches"\n\t\t{\n\t\t\t"public"\n\t\t\t{\n\t\t\t\t"buildid"\t\t"%s"\n'
             '\t\t\t\t"timeupdated"\t\t"1729000000"\n\t\t\t}\n\t\t\t"steam_legacy"\n\t\t\t{\n'
             '\t\t\t\t"buildid"\t\t"%s"\n\t\t\t\t"description"\t\t"{ legacy }"\n\t\t\t}\n\t\t}\n\t}\n}\n')
    say(block % (build, legacy))

def main():
    running = mark_running() if state else None
    if state:
        with open(os.path.join(state, "args.txt"), "a") as f:
            f.write("\t".join(args) + "\n")
        count = run_count()
    else:
        count = 1
    if os.environ.get("STEAMCMD_SELF_UPDATE"):
        for line in ["[  0%] Checking for available updates...", "[----] Downloading update...",
                     "[----] Extracting package...", "[----] Update complete, launching Steamcmd..."]:
            say(line)
    say("Redirecting stderr to '/root/Steam/logs/stderr.txt'")
    say("Loading Steam API...OK")
    folder, logged_in, configured, words, printed = None, False, False, list(args), 0
    step = float(os.environ.get("STEAMCMD_STEP", "0"))
    while words:
        word = words.pop(0)
        if word == "+force_install_dir":
            folder = words.pop(0)
            if logged_in:
                say("Please use force_install_dir before logon!")
                folder = "late"
        elif word == "+login":
            words.pop(0)
            say("Connecting anonymously to Steam Public...OK")
            say("Waiting for client config...OK")
            say("Waiting for user info...OK")
            logged_in = True
        elif word == "+app_set_config":
            words[:3] = []
            configured = True
        elif word == "+app_info_update":
            words.pop(0)
        elif word == "+app_info_print":
            words.pop(0)
            printed += 1
            # The first print may be cached, and older.
            app_info("100" if printed == 1 else os.environ.get("STEAMCMD_STEAM_BUILD", "10211"))
        elif word == "+app_update":
            words.pop(0)
            while words and not words[0].startswith("+"):
                words.pop(0)
            update(folder, configured, count, step)
        elif word.startswith("+@"):
            words.pop(0)
    say("\x1b[0m")
    out.flush()
    if running:
        os.unlink(running)

def update(folder, configured, count, step):
    if folder == "late" or folder is None:
        say("ERROR! Failed to install app '90' (Missing configuration)")
        return end(8)
    error = os.environ.get("STEAMCMD_ERROR")
    if error:
        say("ERROR! Failed to install app '90' (%s)" % error)
        return end(8)
    total = 738158916
    gate = os.environ.get("STEAMCMD_GATE")
    for i, percent in enumerate(["26.93", "58,71", "58,71", "100.00"]):
        done = int(total * float(percent.replace(",", ".")) / 100)
        say(" Update state (0x61) downloading, progress: %s (%d / %d)\x1b[0m" % (percent, done, total))
        if i == 0 and gate:
            while not os.path.exists(gate):
                time.sleep(0.01)
        time.sleep(step)
    if os.environ.get("STEAMCMD_HOLD"):
        hold()
    if count <= int(os.environ.get("STEAMCMD_FAIL", "0")):
        say("Error! App '90' state is %s after update job." % os.environ.get("STEAMCMD_FAIL_STATE", "0x402"))
        return end(8)
    # A server program already there (the stand-in server of a test) stays.
    for program in ["hlds_run", "hlds_linux"]:
        if not os.path.exists(os.path.join(folder, program)):
            write(folder, program, "#!/bin/sh\n", 0o755)
    write(folder, "valve/liblist.gam", "game \"Half-Life\"\n")
    if configured and not os.environ.get("STEAMCMD_NO_GAME"):
        write(folder, "tfc/liblist.gam", "game \"Team Fortress Classic\"\n")
    write(folder, "steamapps/appmanifest_90.acf",
          '"AppState"\n{\n\t"appid"\t\t"90"\n\t"buildid"\t\t"%s"\n}\n' % os.environ.get("STEAMCMD_BUILD", "10211"))
    say("Success! App '90' fully installed.")

def hold():
    if os.environ.get("STEAMCMD_HOLD") == "ignore-term":
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        if os.fork() == 0:
            while True:
                time.sleep(1)
    out.flush()
    while True:
        time.sleep(1)

def end(status):
    out.flush()
    if state:
        os.unlink(os.path.join(state, "running"))
    sys.exit(status)

main()
