#!/usr/bin/env python3
# Makes legacy-store.sqlite: a recordings store as the logger of the first
# store layout wrote it (no application id, no schema version).
#   run 1: 10 readings, the meter sends its model again, the logger presses
#          Clear, 10 readings, then the logger is killed (SIGKILL);
#   run 2: 10 readings and a clean exit (--count).
# So: recording 1 ended when recording 2 of the same run began, recording 2
# was never ended, recording 3 ended by Exit.
# Usage: make_legacy_store.py OLD_TQ800_LOG OUT_DIR, with the tq800-log of
# commit 1ac03e3 (the last with the first layout); the store is
# OUT_DIR/recordings.sqlite. The meter is this script on a pseudo-terminal,
# answering the logger's polls as tq800-sim does.
import os, pty, select, signal, subprocess, sys, time, tty

log, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
IDENTIFY = b'<M01A2.1><Q005A840074B7077BFF7903DB><E>'

def reading(i):
    return b'<D1F%02X3CCF%04X02EE>' % (i % 60, 0x1B58 - i % 7)

def run(readings_before_model, readings_after, kill):
    master, slave = pty.openpty()
    tty.setraw(slave)
    link = os.path.join(out, 'meter')
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(slave), link)
    env = dict(os.environ, HOME=out, TZ='Europe/Berlin', QT_QPA_PLATFORM='offscreen')
    args = [log, '--port', link, '--journal', out]
    total = readings_before_model + readings_after
    if not kill:
        args += ['--count', str(total)]
    p = subprocess.Popen(args, env=env)
    sent, model_sent, buf = 0, readings_before_model == 0, b''
    deadline = time.time() + 60
    while time.time() < deadline and p.poll() is None and sent < total:
        if not select.select([master], [], [], 0.2)[0]:
            continue
        buf += os.read(master, 4096)
        while b'#' in buf:
            req, buf = buf.split(b'#', 1)
            req = req[req.rfind(b'@') + 1:]
            if req == b'A':
                os.write(master, IDENTIFY)
            elif req == b'':
                if sent == readings_before_model and not model_sent:
                    os.write(master, b'<M01A2.1>')
                    model_sent = True
                else:
                    sent += 1
                    os.write(master, reading(sent))
    time.sleep(2.5)  # the last rows committed and checkpointed
    if kill:
        p.send_signal(signal.SIGKILL)
    p.wait(timeout=30)
    os.close(master)
    os.close(slave)
    os.remove(link)

run(10, 10, True)
time.sleep(3)
run(0, 10, False)
