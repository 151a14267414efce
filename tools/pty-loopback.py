#!/usr/bin/env python3
"""A pseudo-terminal that sends back every byte written to it, for the Win32 link tests under
Wine. Prints the terminal's name, echoes until its standard input closes, then prints the line
settings the last program left on it ("19200 8N1")."""
import os
import select
import sys
import termios
import tty

master, slave = os.openpty()
# Raw: the terminal's own echo, line editing and XON/XOFF would change the bytes or loop them.
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
while True:
    ready, _, _ = select.select([master, sys.stdin], [], [])
    if sys.stdin in ready and not sys.stdin.buffer.read1(1):
        break
    if master in ready:
        # The slave stays open here, so a reader going away is no hang-up.
        os.write(master, os.read(master, 4096))

_, _, cflag, _, _, ospeed, _ = termios.tcgetattr(slave)
speeds = {getattr(termios, "B%d" % rate): rate for rate in (1200, 2400, 4800, 9600, 19200, 38400)}
bits = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
parity = "N" if not cflag & termios.PARENB else "O" if cflag & termios.PARODD else "E"
stop = 2 if cflag & termios.CSTOPB else 1
print("%s %d%s%d" % (speeds.get(ospeed, ospeed), bits, parity, stop), flush=True)
