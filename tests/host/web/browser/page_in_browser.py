#!/usr/bin/python3
"""The show's web page in a real browser: headless Chromium driven through its driver, against
tarvex-host --headless --web with the example show and the real plug-in. OSC sent with oscsend
moves the bars and the hits; a fader moved in a phone's page reaches the plug-in through the host
and changes a channel, and the same fader on another page follows; the page is a controller like
any other. Where this machine has an address beyond loopback, the phone's page comes through it,
as another machine's would: a wrong PIN is refused and the right one lets it drive the show. Screenshots at desktop and phone size
go to the folder given with --out."""

import argparse
import json
import pathlib
import queue
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WAIT_S = 30


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Host:
    """tarvex-host headless: commands in, JSON events and the web page's address out."""

    def __init__(self, program, plugin, project, web):
        self.process = subprocess.Popen(
            [program, "--headless", "--no-dmx-out", "--plugin", plugin, "--web", web, project],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.events = queue.Queue()
        self.url = queue.Queue()
        threading.Thread(target=self._read_events, daemon=True).start()
        threading.Thread(target=self._read_errors, daemon=True).start()

    def _read_events(self):
        for line in self.process.stdout:
            self.events.put(json.loads(line))

    def _read_errors(self):
        for line in self.process.stderr:
            sys.stderr.write(line)
            found = re.search(r"web page is on (http://[^\s,]+)", line)
            if found:
                self.url.put(found.group(1))

    def event(self, kind):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            event = self.events.get(timeout=WAIT_S)
            if event.get("event") == kind:
                return event
        raise AssertionError("no %s event" % kind)

    def ask(self, command, answer):
        """Sends a command; the first event of the kind `answer` after it (None: no answer)."""
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        return self.event(answer) if answer else None

    def quit(self):
        if self.process.poll() is None:
            # The first quit only warns of unsaved changes (the listening port changed).
            self.process.stdin.write("quit\nquit\n")
            self.process.stdin.flush()
            self.process.wait(WAIT_S)


def browser(width, height, phone=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    if phone:  # a desktop window cannot be narrower than 500 px; a phone's screen can
        options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
            "width": width, "height": height, "pixelRatio": 2, "touch": True}})
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                 "--window-size=%d,%d" % (width, height),
                 "--user-data-dir=" + tempfile.mkdtemp(prefix="tarvex-chromium-")):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait(driver, what, condition):
    try:
        return WebDriverWait(driver, WAIT_S, poll_frequency=0.05).until(lambda _: condition())
    except Exception as error:
        raise AssertionError("waited %d s for %s" % (WAIT_S, what)) from error


def cell_level(driver, channel):
    return driver.find_element(By.CSS_SELECTOR, '.channel[data-channel="%d"] .value' % channel).text


def row_of(host, address):
    return next(r for r in host.ask("rows", "rows")["rows"] if r["address"] == address)


def network_address():
    """An IPv4 address of this machine beyond loopback, or None."""
    try:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.connect(("192.0.2.1", 9))  # no datagram is sent: this only picks a route
            address = probe.getsockname()[0]
    except OSError:
        return None
    return None if address.startswith("127.") else address


def enter_pin(driver, pin):
    field = driver.find_element(By.ID, "pin-value")
    field.clear()
    field.send_keys(pin)
    driver.find_element(By.CSS_SELECTOR, "#pin button").click()


def show_view(driver, name):
    driver.find_element(By.CSS_SELECTOR, 'nav button[data-view="%s"]' % name).click()


def main():
    parser = argparse.ArgumentParser()
    for option in ("--host", "--plugin", "--show", "--out"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    folder = pathlib.Path(tempfile.mkdtemp(prefix="tarvex-web-"))
    for name in ("show.tarvex", "TarvexActions.dat", "TarvexSettings.dat"):
        shutil.copy(pathlib.Path(args.show) / name, folder / name)

    # With an address beyond loopback the phone is another machine: it needs the PIN.
    network = network_address()
    host = Host(args.host, args.plugin, str(folder / "show.tarvex"),
                "0.0.0.0:0" if network else "127.0.0.1:0")
    drivers = []
    try:
        host.event("ready")
        shown = host.url.get(timeout=WAIT_S)
        port = re.search(r":(\d+)/$", shown).group(1)
        url = "http://127.0.0.1:%s/" % port
        osc_port = free_udp_port()
        host.ask("listen 127.0.0.1 %d" % osc_port, None)
        state = host.ask("state", "state")
        assert state["server"] == "Stop", state  # the button reads "Stop" while it listens

        desk = browser(1280, 900)
        drivers.append(desk)
        desk.get(url)
        wait(desk, "the page to go live",
             lambda: desk.find_element(By.ID, "connection").text == "live")

        # OSC from a sender on the network: the bar and the row's hits follow.
        subprocess.run(["oscsend", "127.0.0.1", str(osc_port), "/fader1", "f", "0.5"], check=True)
        wait(desk, "channel 7 to rise", lambda: cell_level(desk, 7) != "0")
        fader = row_of(host, "/fader1")
        assert cell_level(desk, 7) == str(fader["lastLevel"]), (cell_level(desk, 7), fader)
        show_view(desk, "rows")
        wait(desk, "the row's hits", lambda: desk.find_element(
            By.CSS_SELECTOR, '#rows tr[data-row="1"] td.hits').text == str(fader["hits"]))
        desk.save_screenshot(str(out / "web-desktop-rows.png"))

        # A fader in the page: through the host's socket to the plug-in, and back as a level.
        phone = browser(390, 844, phone=True)
        drivers.append(phone)
        phone.get("http://%s:%s/" % (network, port) if network else url)
        wait(phone, "the phone's page to go live",
             lambda: phone.find_element(By.ID, "connection").text == "live")
        if network:
            enter_pin(phone, "000000")
            wait(phone, "a wrong PIN to be refused", lambda: "wrong PIN" in phone.find_element(
                By.ID, "pin-state").text)
            phone.save_screenshot(str(out / "web-phone-pin.png"))
            pin = json.loads((folder / "show.tarvex.web").read_text())["pin"]
            enter_pin(phone, pin)
            wait(phone, "the right PIN to let the phone in",
                 lambda: not phone.find_element(By.ID, "pin").is_displayed())
        else:
            print("No address beyond loopback here: the PIN is not tried.")
        show_view(phone, "control")
        slider = wait(phone, "the dimmer's fader", lambda: phone.find_element(
            By.CSS_SELECTOR, '.control[data-address="/dimmer"] input[type=range]'))
        phone.execute_script(
            "arguments[0].value = arguments[0].max;"
            "arguments[0].dispatchEvent(new Event('input'));", slider)
        phone.save_screenshot(str(out / "web-phone-control.png"))
        show_view(desk, "control")
        wait(desk, "the desk's dimmer fader to follow the phone's", lambda: desk.find_element(
            By.CSS_SELECTOR, '.control[data-address="/dimmer"] input[type=range]'
        ).get_attribute("value") == "1")
        # With feedback on, what another controller sends reaches the phone's page (a
        # controller now) as the plug-in's feedback, and its fader follows.
        host.ask("feedback others", None)
        subprocess.run(["oscsend", "127.0.0.1", str(osc_port), "/fader1", "f", "0.25"],
                       check=True)
        wait(phone, "the phone's fader 1 to follow the feedback", lambda: phone.find_element(
            By.CSS_SELECTOR, '.control[data-address="/fader1"] input[type=range]'
        ).get_attribute("value") == "0.25")
        show_view(desk, "levels")
        wait(desk, "channel 13 to reach full", lambda: cell_level(desk, 13) == "255")
        dimmer = row_of(host, "/dimmer")
        assert dimmer["hits"] == 1 and dimmer["lastLevel"] == 255, dimmer
        controllers = host.ask("controllers", "controllers")["controllers"]
        assert any(c["controller"] and c["lastAddress"] == "/dimmer" for c in controllers), \
            controllers
        desk.save_screenshot(str(out / "web-desktop-levels.png"))
        show_view(phone, "levels")
        wait(phone, "the phone's channel 13", lambda: cell_level(phone, 13) == "255")
        phone.save_screenshot(str(out / "web-phone-levels.png"))
    finally:
        for driver in drivers:
            driver.quit()
        host.quit()
        shutil.rmtree(folder, ignore_errors=True)
    print("The page followed OSC and drove the plug-in; screenshots in %s" % out)


if __name__ == "__main__":
    main()
